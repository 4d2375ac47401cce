// What the application's initialisation runs once it has decided to open a window: the
// framework's socket start, then the main window, modally, until it closes, with the
// configuration and secondary-devices windows wired to its commands.
#pragma once

class CRavelinApp;

void RunMainWindow(CRavelinApp& app);
