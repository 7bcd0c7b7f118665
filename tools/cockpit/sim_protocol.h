// The line protocol between the cockpit and the sim server, a child process that runs the
// simulator stand-in with the plug-in loaded (tools/cockpit/sim_server.cpp). The cockpit writes
// one request line to the server's standard input and reads one answer line from its standard
// output; the units stay on the cockpit's side.
//
// A line is fields separated by tabs; each field is escaped: backslash, tab, CR and LF as \\ \t
// \r \n, other control bytes as \xHH. Numbers are written as text ("%.17g" for fractions).
//
// Requests (first field, then its arguments):
//   start ROOT               fresh simulator with ROOT (a Unix path) as its folder   -> ok
//   load PATH                load the plug-in binary, XPluginStart                    -> ok | err WHY
//   enable                   XPluginEnable                                            -> ok 0|1
//   identity                                                                          -> ok NAME DESCRIPTION
//   set-aircraft PATH        the user's aircraft, no message; load-aircraft PATH with the message
//   fake SIGNATURE NAME      a fake plug-in that can send messages                    -> ok ID
//   message FROM NUMBER PARAM
//   frames N / seconds S     run the simulator                                        -> ok NOW
//   now                                                                               -> ok NOW
//   types NAME               the dataref's type bits (0: no such dataref)             -> ok BITS
//   text NAME                the dataref's value as text                              -> ok VALUE
//   values                   every dataref                                 -> ok NAME VALUE NAME VALUE ...
//   set-int NAME V, set-float NAME V, set-double NAME V, set-string NAME TEXT,
//   set-ints NAME OFFSET V..., set-floats NAME OFFSET V...                            -> ok 0|1
//   commands FIRST           commands issued from the FIRST on    -> ok (KIND NUMBER TIME NAME)...
//   log FIRST                the simulator's log from byte FIRST on                   -> ok TEXT
//   quit                     unload the plug-in and end                               -> ok
//
// Answers start with the mark "@sim " and then "ok" or "err" and their fields. Every other line
// the server's output carries is the plug-in's console, passed on as it is; text the plug-in left
// without a line end is cut off where the mark starts.
#pragma once

#include <string>
#include <vector>

namespace cockpit {

inline constexpr char kSimMark[] = "@sim ";

std::string EscapeField(const std::string& text);
std::string UnescapeField(const std::string& field);
// Escapes and joins fields with tabs (no line end).
std::string JoinFields(const std::vector<std::string>& fields);
std::vector<std::string> SplitFields(const std::string& line);
std::string FormatNumber(double value); // exact: "%.17g"

} // namespace cockpit
