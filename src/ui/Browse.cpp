#include "ui/Browse.h"

#include "commands/SpaceReports.h"
#include "platform/Drives.h"
#include "ui_Browse.h"

#include <QFile>
#include <QFileInfo>

namespace quorvia {

TForm2::TForm2(AppState& state, UserPort& port, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_state(state), m_port(port), m_ui(std::make_unique<Ui::TForm2>()) {
    m_ui->setupUi(this);
    setFixedSize(size());
    setModal(false);
    m_ui->DirList->hide(); // the outline sits outside the window and is never seen
    m_ui->Button2->setAutoDefault(false);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(m_ui->Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    connect(m_ui->Button3, &QPushButton::clicked, this, &TForm2::Button3Click);
    connect(m_ui->Drive, &QComboBox::currentIndexChanged, this, &TForm2::DriveChange);
    fillDrives();
    m_ui->DirList1->setDrive(m_ui->Drive->currentText());
}

TForm2::~TForm2() = default;

DirectoryList* TForm2::folderList() const {
    return m_ui->DirList1;
}

QString TForm2::chosenFolder() const {
    return m_ui->DirList1->directory();
}

void TForm2::fillDrives() {
    const QString selected = m_ui->Drive->currentText();
    m_filling = true;
    m_ui->Drive->clear();
    for (const QByteArray& drive : platform::mountedDrives())
        m_ui->Drive->addItem(QFile::decodeName(drive));
    const int at = m_ui->Drive->findText(selected.isEmpty() ? "/" : selected);
    m_ui->Drive->setCurrentIndex(at >= 0 ? at : 0);
    m_filling = false;
}

// The drive of a folder is the longest volume root it lies under.
void TForm2::selectDriveOf(const QString& folder) {
    int best = -1;
    qsizetype length = -1;
    for (int i = 0; i < m_ui->Drive->count(); ++i) {
        const QString root = m_ui->Drive->itemText(i);
        const bool under = folder == root || root == "/" || folder.startsWith(root + '/');
        if (under && root.size() > length) {
            best = i;
            length = root.size();
        }
    }
    m_filling = true;
    if (best >= 0)
        m_ui->Drive->setCurrentIndex(best);
    m_filling = false;
}

void TForm2::browse(const QString& caption, const QString& folder) {
    setWindowTitle(caption);
    fillDrives();
    if (!folder.trimmed().isEmpty() && QFileInfo(folder.trimmed()).isDir()) {
        const QString absolute = QFileInfo(folder.trimmed()).absoluteFilePath();
        selectDriveOf(absolute);
        m_ui->DirList1->setDirectory(absolute);
    }
    show();
    raise();
    activateWindow();
}

void TForm2::DriveChange(int index) {
    if (m_filling || index < 0)
        return;
    const QString drive = m_ui->Drive->itemText(index);
    if (!m_ui->DirList1->setDrive(drive))
        m_port.dialogs.plainBox("Drive " + drive + "Not Ready");
}

void TForm2::Button1Click() {
    if (onAccept)
        onAccept(chosenFolder());
    hide();
}

void TForm2::Button2Click() {
    hide();
}

// The free space of the volume that holds the folder chosen in the list,
// named by that folder.
void TForm2::Button3Click() {
    if (m_state.flags.Busy)
        return;
    const QString folder = chosenFolder();
    ReportBrowserFreeSpace(m_state, m_port, BrowserDrive{folder, folder});
}

} // namespace quorvia
