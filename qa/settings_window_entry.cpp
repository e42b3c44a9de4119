// The module's entry: the settings window with the check modes' automation.
#include "app/settings_window.h"
#include "app/settings_window_module.h"
#include "qa/check_start.h"

extern "C" Q_DECL_EXPORT int vornaRunSettingsWindow(int argc, char** argv)
{
    return app::runSettingsWindow(argc, argv, &qa::startCheck);
}
