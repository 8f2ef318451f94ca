// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/widgets/FolderChooser.h"

#include "common/widgets/MessageBoxes.h"
#include "common/widgets/Named.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFrame>
#include <QPushButton>
#include <QShowEvent>
#include <QStorageInfo>
#include <QTreeView>
#include <QWindow>

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

    auto* frame = Named(new QFrame(this), "Bevel1");
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(8, 8, 185, 249);

    m_driveCombo = Named(new QComboBox(this), "dcb1");
    m_driveCombo->setGeometry(16, 16, 169, 19);

    // The tree's model is made when the chooser opens and dropped when it closes: a file system model
    // watches and re-reads every folder it has listed, which a hidden window must not cost.
    m_folderTree = Named(new QTreeView(this), "do1");
    m_folderTree->setGeometry(16, 40, 169, 209);
    m_folderTree->setHeaderHidden(true);

    auto* okButton = Named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    okButton->setGeometry(23, 260, 75, 25);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, [this] { checkSelection(CheckSender::OkButton); });

    auto* cancelButton = Named(new QPushButton(QStringLiteral("Annuler"), this), "CancelBtn");
    cancelButton->setGeometry(103, 260, 75, 25);
    connect(cancelButton, &QPushButton::clicked, this, &FolderChooser::reject);

    fillDrives();
    connect(m_driveCombo, &QComboBox::currentIndexChanged, this, &FolderChooser::showSelectedDrive);
    // Until a directory is stored, the tree starts where the process started.
    setDirectory(QDir::currentPath());
}

void FolderChooser::attachModel()
{
    if (m_model)
        return;
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QString());
    // When the current row goes (its folder deleted or renamed), the tree moves to a neighbour by
    // itself; that is not a choice. Connected before the tree, so that the flag is up before it moves.
    const auto modelChanging = [this] { m_modelChanging = true; };
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, modelChanging);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeMoved, this, modelChanging);
    connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this, modelChanging);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, modelChanging);

    m_folderTree->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        m_folderTree->hideColumn(c);
    connect(m_folderTree->selectionModel(), &QItemSelectionModel::currentChanged, this, &FolderChooser::followTree);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &FolderChooser::resyncTree);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, &FolderChooser::resyncTree);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &FolderChooser::resyncTree);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FolderChooser::resyncTree);

    const QString selected = m_selected;
    const QString root = m_driveCombo->currentData().toString();
    if (!root.isEmpty())
        m_folderTree->setRootIndex(m_model->index(root));
    showDirectory(selected);
}

void FolderChooser::detachModel()
{
    if (!m_model)
        return;
    QItemSelectionModel* selection = m_folderTree->selectionModel();
    m_folderTree->setModel(nullptr);
    delete selection; // the view leaves its old selection model to its owner
    delete m_model;
    m_model = nullptr;
    m_modelChanging = false;
}

void FolderChooser::followTree(const QModelIndex& current)
{
    if (m_model && !m_modelChanging && current.isValid())
        m_selected = QDir::cleanPath(m_model->filePath(current));
}

void FolderChooser::resyncTree()
{
    // A vanished selection stays selected ("Base inexistante" for the readers); the tree then shows
    // no current row rather than a neighbour the user did not choose.
    const QModelIndex current = m_folderTree->currentIndex();
    if (m_model && current.isValid() && !SamePath(m_model->filePath(current), m_selected))
    {
        m_folderTree->selectionModel()->clearSelection();
        m_folderTree->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    m_modelChanging = false;
}

void FolderChooser::fillDrives()
{
    m_driveCombo->clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && m_driveCombo->findData(volume.rootPath()) < 0)
            m_driveCombo->addItem(volume.rootPath(), volume.rootPath());
}

void FolderChooser::showDirectory(const QString& dir)
{
    const QModelIndex index = m_model ? m_model->index(dir) : QModelIndex();
    if (index.isValid())
    {
        m_folderTree->setCurrentIndex(index);
        m_folderTree->scrollTo(index);
    }
    // The directory as given: the tree may spell it differently (a link resolved).
    m_selected = dir;
}

void FolderChooser::setDirectory(const QString& dir)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(dir));
    const QString root = QStorageInfo(clean).rootPath();
    const QSignalBlocker block(m_driveCombo);
    int i = m_driveCombo->findData(root);
    if (i < 0 && !root.isEmpty())
    {
        m_driveCombo->addItem(root, root);
        i = m_driveCombo->count() - 1;
    }
    m_driveCombo->setCurrentIndex(i);
    if (m_model && !root.isEmpty())
        m_folderTree->setRootIndex(m_model->index(root));
    showDirectory(clean);
}

void FolderChooser::showSelectedDrive()
{
    const QString root = m_driveCombo->currentData().toString();
    if (root.isEmpty())
        return;
    if (m_model)
        m_folderTree->setRootIndex(m_model->index(root));
    showDirectory(QDir::cleanPath(root));
}

void FolderChooser::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
    {
        // Transient for the graph window it disables, so that the window manager keeps it above that
        // window (without an owner it would be transient for the application's hidden leader window).
        if (m_peers.graphWindow && windowHandle())
        {
            QWidget* owner = m_peers.graphWindow->window();
            owner->winId(); // the graph window may not have been shown yet
            windowHandle()->setTransientParent(owner->windowHandle());
        }
        // Back where the user left it: the frame's position, as pos() gave it at hiding.
        if (m_shownAt)
            move(*m_shownAt);
        attachModel();
    }
    QDialog::showEvent(event);
}

void FolderChooser::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
    {
        m_shownAt = pos();
        detachModel();
    }
    QDialog::hideEvent(event);
}

void FolderChooser::reject()
{
    hide();
    if (m_peers.setGraphEnabled)
        m_peers.setGraphEnabled(true);
}

bool FolderChooser::checkBeforeReading()
{
    const bool checked = m_peers.monitoredInterfaces && CheckMonitoredInterfaces(m_peers.monitoredInterfaces());
    return carryOut(EvaluateOpeningCheck(m_selected, m_storeRoot, checked));
}

bool FolderChooser::checkSelection(CheckSender sender)
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
