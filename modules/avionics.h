// The three radio and instrument units: QD-AVX (4-character alphanumeric display, 5-digit numeric
// display, dual encoder), QD-AVY (the same with a 6-digit numeric display and a push button) and
// QD-RSX (two numeric displays, dual encoder, transfer button and two function buttons with lamps).
// Each shows one of its eight configured pages, tunes it with the encoders and steps between pages.
#pragma once

#include "modules/module_base.h"

class Avionic;
class QD_FUNC;

// Shared by QD-AVX and QD-AVY: one page value shown as label (alphanumeric display) and value text
// (numeric display), either a single value or the current item of one of the two shared lists.
class QDAlphaNumeric_Module : public QD_Abstract_AvionicDevice {
  public:
    enum Mode { MODE_SINGLE = 0, MODE_LIST = 1 };
    // Kept copies hold what was sent, including a leading blank the display adds.
    static constexpr int kKeptSize = 16;

    void SetDisplay() override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    // Every key means "show this value"; GetFunction answers with the value shown.
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;
    E_UnitType GetAvionicType() override;
    void AssignAvionic(E_UnitType function) override;

    // The value shown now: the list's current item or the single value; null when none.
    Avionic* ShownValue() const;

    Avionic* single = nullptr;
    QD_FUNC* list = nullptr;
    int mode = MODE_SINGLE;
    char lastAlpha[kKeptSize] = {};
    char lastNumeric[kKeptSize] = {};

  protected:
    QDAlphaNumeric_Module() = default;
    QDAlphaNumeric_Module(const QDAlphaNumeric_Module&) = default;
    QDAlphaNumeric_Module& operator=(const QDAlphaNumeric_Module&) = default;
    ~QDAlphaNumeric_Module() = default;

    // What differs between the two models.
    virtual const char* ClassName() const = 0;
    virtual int HwType() const = 0;
    virtual int NumericWidth() const = 0;
    virtual void SendAlpha(const char* text) = 0;
    virtual void SendNumeric(const char* text) = 0;
    // QD-AVY shows the transponder code one position further right.
    virtual bool PadTransponder() const { return false; }
    // The push button of QD-AVY: moves to the next configured page.
    void NextPageButton();

  private:
    void SendBlanks(bool only_if_changed);
};

class QDAVX_Module : public QDAlphaNumeric_Module {
  public:
    int GetButton(const void* data, int* value) override;

  protected:
    const char* ClassName() const override { return "QDAVX_Module"; }
    int HwType() const override { return 1; }
    int NumericWidth() const override { return 5; }
    void SendAlpha(const char* text) override;
    void SendNumeric(const char* text) override;
};

class QDAVY_Module : public QDAlphaNumeric_Module {
  public:
    int GetButton(const void* data, int* value) override;
    void HandleInput(int control, int value) override;

    // Button byte of the last report (nonzero = pressed).
    unsigned char lastButton = 0;

  protected:
    const char* ClassName() const override { return "QDAVY_Module"; }
    int HwType() const override { return 8; }
    int NumericWidth() const override { return 6; }
    void SendAlpha(const char* text) override;
    void SendNumeric(const char* text) override;
    bool PadTransponder() const override { return true; }
};

class QDRSX_Module : public QD_Abstract_AvionicDevice {
  public:
    static constexpr int kButtons = 3;
    static constexpr int kKeptSize = 20;

    void Register(unsigned short unit_index) override;
    void SetDisplay() override;
    int GetButton(const void* data, int* value) override;
    void Clear() override;
    void HandleInput(int control, int value) override;
    void Refresh() override;
    // "L" and "R": the two function buttons (and their lamps); "M": the value shown;
    // "1" to "8": the page entries.
    void AssignFunction(char key, E_UnitType function, int targetUnit, int targetKind) override;
    E_UnitType GetFunction(char key) override;
    E_UnitType GetAvionicType() override;
    void AssignAvionic(E_UnitType function) override;

    // Entry 0 belongs to the transfer button and stays unassigned.
    Fly_subsystem binding[kButtons];
    Avionic* left = nullptr;
    // The standby value of a dual page, else null.
    Avionic* right = nullptr;
    char lastLeft[kKeptSize] = {};
    char lastRight[kKeptSize] = {};
    unsigned char lastButtons = 0;
    unsigned char lastLamps = 0;
    // Simulator time of the last page change: an 8.33 kHz dual page shows its radio letter
    // alone until a second has passed.
    float pageShownAt = 0.0f;

  private:
    void SendBlanks(bool only_if_changed);
};

// Page stepping shared by the three models: moves current over the ring of eight entries to the
// next (forward) or previous page. Returns false, leaving current alone, when the entry at
// current is empty or no page can be shown. Entries that are themselves PREV or NEXT are passed
// over: landing on one would step again without end.
bool DRAV_StepPage(const E_UnitType (&functions)[QD_Abstract_AvionicDevice::kPositions], int& current,
                   bool forward);
