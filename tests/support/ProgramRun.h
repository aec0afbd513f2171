#pragma once
// One run of the program on fresh folders: an empty ledger and settings
// folder, the scripted prompter and the program state around them; and what
// the run wrote to its settings file.
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/ProgramState.h"

#include <QMap>
#include <QVariant>

namespace ravo::test {

struct Run {
    Sandbox sandbox;
    ScriptedPrompter prompt;
    ProgramState state{sandbox.appDir(), prompt};
};

// Every key of the main settings file with its value, as it stands on disk.
QMap<QString, QVariant> settingsSnapshot(SettingsStore& store);

} // namespace ravo::test
