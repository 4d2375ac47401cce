// The main window's Configure command: runs the Configuration dialog modally and, when
// it ended with Save, writes the sixteen items it edits to the settings store.
#pragma once

#include <string>

class QWidget;

// What the dialog takes from the application object (CRavelinApp: extendedMode(),
// programDirectory(), temporaryDirectory()).
struct ConfigureEnvironment {
    bool extendedMode = false;
    std::u16string programDirectory = u".";
    std::u16string temporaryDirectory = u".";
};

// True when the dialog was saved (and the items written).
bool RunConfigureCommand(QWidget* parent, const ConfigureEnvironment& environment);
