// The handset's calls list kept in the settings, and its missed calls in the tray's tip.
#include "app/MainDialog.h"
#include "app/Settings.h"
#include "support/CallListStore.h"
#include "support/Clock.h"
#include "support/TraceLog.h"

void MainDialog::RestoreCallList() {
    RegistryKey settings(CreateKey);
    if (!OpenSettings(settings))
        return;
    std::optional<StoredCalls> stored = LoadCallList(settings, CallLogCapacity);
    settings.Close();
    if (!stored || !bridge.RestoreCalls(stored->lines, stored->unseenMissed))
        Trace(10, "!!! The stored calls list is damaged and is not used; the list starts empty");
}

void MainDialog::CallListChanged(const CallLog& calls) {
    RegistryKey settings(CreateKey);
    if (OpenSettings(settings))
        SaveCallList(settings, {calls.Lines(), calls.UnseenMissed()});
    settings.Close();
    // After the shutdown the icon is gone and must not come back.
    if (!shutDown)
        UpdateTrayIcon(DeviceTrayState());
}

unsigned long long MainDialog::NowMs() const {
    return static_cast<unsigned long long>(::NowMs());
}
