// "Nowy przyrząd": asks for the name of a new profile and keeps asking
// while the name breaks the rule.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"

#include <string>

class CNewInstrumentDialog : public CDialog {
public:
    CNewInstrumentDialog();

    std::string m_strName;  // Windows-1250; a valid profile name after OK
    CEdit m_editName;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
};
