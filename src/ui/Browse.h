#pragma once

#include "app/AppState.h"
#include "app/UserPort.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class TForm2;
}

namespace quorvia {

class DirectoryList;

// The folder browser: a drive selector of the mounted volumes that are ready
// and the folder list. "&Ok" hands the chosen folder to the box it was opened for.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(AppState& state, UserPort& port, QWidget* parent = nullptr);
    ~TForm2() override;

    // Receives the chosen folder on "&Ok".
    std::function<void(const QString& folder)> onAccept;

    // Opens the browser with the given caption; `folder`, when it names an
    // existing folder, is shown with its drive selected.
    void browse(const QString& caption, const QString& folder = {});
    QString chosenFolder() const;
    DirectoryList* folderList() const;

private:
    void fillDrives();
    void selectDriveOf(const QString& folder);
    void DriveChange(int index);
    void Button1Click();
    void Button2Click();
    void Button3Click();

    AppState& m_state;
    UserPort& m_port;
    std::unique_ptr<Ui::TForm2> m_ui;
    bool m_filling = false;
};

} // namespace quorvia
