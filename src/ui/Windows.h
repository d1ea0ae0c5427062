#pragma once

#include "ui/Browse.h"
#include "ui/CopyFrm.h"
#include "ui/Main.h"
#include "ui/Temp.h"
#include "ui/config.h"
#include "ui/smtptst1.h"
#include "ui/splash.h"
#include "ui/stats.h"
#include "ui/zipcfg.h"

namespace quorvia {

// Every window of the program, created once in this order and connected:
// the main window's commands open the others. The splash's timer runs from
// here.
struct ProgramWindows {
    ProgramWindows(AppState& state, Dialogs& dialogs);

    // The pictures built into the program, loaded before the first window.
    struct Resources {
        Resources();
    } resources;
    TForm1 form1;
    TForm5 form5;               // about box and splash
    TForm2 form2;               // folder browser
    TForm3 form3;               // work list
    TForm4 form4;               // progress
    TForm6 form6;               // config
    TForm7 form7;               // stats
    TSmtpTestForm smtpTestForm; // send-mail dialog
    TForm8 form8;               // zip settings
};

} // namespace quorvia
