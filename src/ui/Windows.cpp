#include "ui/Windows.h"

#include <QtGlobal>

// The resource file sits in a static library: its loader must be called by name.
static void loadQuorviaResources() {
    Q_INIT_RESOURCE(quorvia);
}

namespace quorvia {

ProgramWindows::Resources::Resources() {
    loadQuorviaResources();
}

ProgramWindows::ProgramWindows(AppState& state, Dialogs& dialogs)
    : form1(state, dialogs), form5(state.settings, dialogs, &form1),
      form2(state, form1.port(), &form1), form3(state, &form1), form4(&form1),
      form6(state, dialogs, &form1), form7(state, form1.port(), &form1),
      smtpTestForm(state.settings, dialogs, &form1), form8(state, dialogs, &form1) {
    form1.setWindows(&form2, &form3, &form4);
    form1.showSplash = [this] { form5.showSplash(); };
    form1.showAbout = [this] { form5.showAbout(); };
    form1.showConfig = [this] { form6.showDialog(); };
    form1.showStats = [this] { form7.showDialog(); };
    form1.refreshStats = [this] {
        if (form7.isVisible())
            form7.RefreshQueueStatus();
    };
    form6.showZipSettings = [this] { form8.showDialog(); };
    form5.openSendMail = [this] { smtpTestForm.open(); };
    form7.openSendMail = [this] { smtpTestForm.open(); };
}

} // namespace quorvia
