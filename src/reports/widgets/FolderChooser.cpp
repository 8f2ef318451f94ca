#include "reports/widgets/FolderChooser.h"

#include "reports/widgets/MessageBoxes.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFrame>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>

using namespace reports;

FolderChooser::FolderChooser(MessageBoxes& messages, QString storeRoot, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_storeRoot(std::move(storeRoot))
{
    setObjectName(QStringLiteral("dlBrowse"));
    setWindowTitle(QStringLiteral("Parcourir"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(201, 288);
    // The layout was made for an 8-point dialog font.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    setModal(false);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 185, 249);

    dcb1 = new QComboBox(this);
    dcb1->setObjectName(QStringLiteral("dcb1"));
    dcb1->setGeometry(16, 16, 169, 19);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QString());

    do1 = new QTreeView(this);
    do1->setObjectName(QStringLiteral("do1"));
    do1->setGeometry(16, 40, 169, 209);
    do1->setModel(m_model);
    do1->setHeaderHidden(true);
    for (int c = 1; c < m_model->columnCount(); ++c)
        do1->hideColumn(c);
    connect(do1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (current.isValid())
            m_selected = QDir::cleanPath(m_model->filePath(current));
    });

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(23, 260, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(CheckSender::OkButton); });

    CancelBtn = new QPushButton(QStringLiteral("Annuler"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(103, 260, 75, 25);
    connect(CancelBtn, &QPushButton::clicked, this, &FolderChooser::CancelBtnClick);

    fillDrives();
    connect(dcb1, &QComboBox::currentIndexChanged, this, &FolderChooser::dcb1Change);
    // Until a directory is stored, the tree starts where the process started.
    setDirectory(QDir::currentPath());
}

void FolderChooser::fillDrives()
{
    dcb1->clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && dcb1->findData(volume.rootPath()) < 0)
            dcb1->addItem(volume.rootPath(), volume.rootPath());
}

void FolderChooser::showDirectory(const QString& dir)
{
    const QModelIndex index = m_model->index(dir);
    if (index.isValid())
    {
        do1->setCurrentIndex(index);
        do1->scrollTo(index);
    }
    // The directory as given: the tree may spell it differently (a link resolved).
    m_selected = dir;
}

void FolderChooser::setDirectory(const QString& dir)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(dir));
    const QString root = QStorageInfo(clean).rootPath();
    const QSignalBlocker block(dcb1);
    int i = dcb1->findData(root);
    if (i < 0 && !root.isEmpty())
    {
        dcb1->addItem(root, root);
        i = dcb1->count() - 1;
    }
    dcb1->setCurrentIndex(i);
    if (!root.isEmpty())
        do1->setRootIndex(m_model->index(root));
    showDirectory(clean);
}

void FolderChooser::dcb1Change()
{
    const QString root = dcb1->currentData().toString();
    if (root.isEmpty())
        return;
    do1->setRootIndex(m_model->index(root));
    showDirectory(QDir::cleanPath(root));
}

void FolderChooser::CancelBtnClick()
{
    hide();
    if (m_peers.setGraphEnabled)
        m_peers.setGraphEnabled(true);
}

void FolderChooser::reject()
{
    CancelBtnClick();
}

bool FolderChooser::OpeningCheck()
{
    const bool checked = m_peers.monitoredInterfaces && CheckMonitoredInterfaces(m_peers.monitoredInterfaces());
    return carryOut(EvaluateOpeningCheck(m_selected, m_storeRoot, checked));
}

bool FolderChooser::OKBtnClick(CheckSender sender)
{
    const bool checked = m_peers.monitoredInterfaces && CheckMonitoredInterfaces(m_peers.monitoredInterfaces());
    return carryOut(EvaluateOkBtnClick(sender, m_selected, m_storeRoot, checked));
}

bool FolderChooser::carryOut(const CheckOutcome& outcome)
{
    if (outcome.enableGraph && m_peers.setGraphEnabled)
        m_peers.setGraphEnabled(true);
    for (const QString& text : outcome.messages)
        m_messages.information(this, text);
    if (outcome.chooseInterfacesNotice)
    {
        m_messages.ask(this, kChooserCaption, kChooseInterfaces, QMessageBox::Ok);
        if (m_peers.showConfigurationFirstPage)
            m_peers.showConfigurationFirstPage();
    }
    bool retry = false;
    if (!outcome.question.isEmpty())
        retry = m_messages.ask(this, kChooserCaption, outcome.question, QMessageBox::Retry | QMessageBox::Cancel) ==
                QMessageBox::Retry;
    if (outcome.closeChooser)
        hide();
    if (retry)
    {
        show();
        raise();
    }
    return outcome.accepted();
}
