// XPWidgets_64.dll has no code of its own: its exports (the generated .def file) forward every
// widget function to XPLM_64.dll, which implements them.
