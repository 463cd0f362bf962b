#include "dialog/ConfigDialog.h"

bool dialogOpen = false;
ConfigDialog* activeDialog = NULL;

ConfigDialog::ConfigDialog(RunState& runState, Settings& settings, CountdownEngine& engine)
    : settings(settings), runState(runState), engine(engine), songs(0), minutes(0), countMode(0), stopMethod(0),
      finalAction(0) {}

void ConfigDialog::show() {}
