// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/widgets/MessageBoxes.h"
#include "reports/widgets/FolderChooser.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QWindow>

using namespace reports;

namespace
{
// Controls are reached by their objectName, as the window map names them.
template <typename T> T* Control(const QWidget& window, const char* objectName)
{
    T* control = window.findChild<T*>(QLatin1String(objectName));
    if (!control)
        qFatal("%s has no control %s", qPrintable(window.objectName()), objectName);
    return control;
}
} // namespace

class TestFolderChooser final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_root, m_valid, m_bare;
    MessageBoxes m_boxes;
    int m_graphEnabled = 0;
    int m_configurationShown = 0;
    std::vector<bool> m_checked;
    QStringList m_names{QStringLiteral("lo"), QStringLiteral("LAN Adapter")};

    void attach(FolderChooser& chooser, QWidget* graphWindow = nullptr)
    {
        ChooserPeers peers;
        peers.setGraphEnabled = [this](bool on) { m_graphEnabled += on ? 1 : 0; };
        peers.monitoredInterfaces = [this] { return m_checked; };
        peers.showConfigurationFirstPage = [this] { ++m_configurationShown; };
        peers.graphWindow = graphWindow;
        peers.interfaceNames = [this] { return m_names; };
        chooser.setPeers(peers);
    }

private slots:
    void initTestCase()
    {
        m_root = m_tmp.path() + QStringLiteral("/Store/");
        m_valid = m_root + QStringLiteral("LAN Adapter");
        m_bare = m_root + QStringLiteral("Bare");
        QVERIFY(QDir().mkpath(m_valid));
        QVERIFY(QDir().mkpath(m_bare));
        QFile f(m_valid + QStringLiteral("/nic.inf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[VORP DB]\r\nversion=1.0\r\nvorp_version=beta4\r\nifname=LAN Adapter\r\n");
    }

    void init()
    {
        m_boxes = MessageBoxes();
        m_boxes.setNextAnswer(QMessageBox::Cancel);
        m_graphEnabled = m_configurationShown = 0;
        m_checked = {false, true};
    }

    void controlsAndDirectory()
    {
        FolderChooser chooser(m_boxes, m_root);
        QCOMPARE(chooser.objectName(), QStringLiteral("dlBrowse"));
        QCOMPARE(chooser.windowTitle(), QStringLiteral("Parcourir"));
        const QComboBox* drives = chooser.findChild<QComboBox*>(QStringLiteral("dcb1"));
        QVERIFY(drives);
        QVERIFY(chooser.findChild<QTreeView*>(QStringLiteral("do1")));
        QCOMPARE(Control<QPushButton>(chooser, "CancelBtn")->text(), QStringLiteral("Annuler"));
        chooser.setDirectory(m_valid + QLatin1Char('/'));
        QCOMPARE(chooser.selectedDirectory(), m_valid); // case kept, no trailing separator
        QVERIFY(drives->count() > 0);
    }

    // A file system model watches every folder it listed: only an open chooser may hold one, and a
    // reopened chooser still shows the selected folder and follows the user's moves.
    void onlyAnOpenChooserWatchesFolders()
    {
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser);
        chooser.setDirectory(m_valid);
        QVERIFY(chooser.findChildren<QFileSystemModel*>().isEmpty());
        auto* tree = chooser.findChild<QTreeView*>(QStringLiteral("do1"));
        for (int round = 0; round < 2; ++round)
        {
            chooser.show();
            const auto models = chooser.findChildren<QFileSystemModel*>();
            QCOMPARE(models.size(), qsizetype(1));
            QCOMPARE(models[0]->filePath(tree->currentIndex()), m_valid);
            tree->setCurrentIndex(models[0]->index(m_bare));
            QCOMPARE(chooser.selectedDirectory(), m_bare);
            tree->setCurrentIndex(models[0]->index(m_valid));
            chooser.hide();
            QVERIFY(chooser.findChildren<QFileSystemModel*>().isEmpty());
            QCOMPARE(chooser.selectedDirectory(), m_valid);
        }
    }

    void okOnValidDirectoryClosesTheChooser()
    {
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser);
        chooser.setDirectory(m_valid);
        chooser.show();
        Control<QPushButton>(chooser, "OKBtn")->click();
        QVERIFY(!chooser.isVisible());
        QCOMPARE(m_graphEnabled, 1);
        QCOMPARE(m_boxes.shown().size(), size_t(1));
        QCOMPARE(m_boxes.shown()[0].caption, QStringLiteral("VORP Beta4"));
        QCOMPARE(m_boxes.shown()[0].text, QStringLiteral("Ouverture de l'interface :\nLAN Adapter"));
    }

    void okWithoutDescriptorKeepsTheChooserOpen_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Retry") << int(QMessageBox::Retry);
        QTest::newRow("Cancel") << int(QMessageBox::Cancel);
    }
    void okWithoutDescriptorKeepsTheChooserOpen()
    {
        QFETCH(int, answer);
        m_boxes.setNextAnswer(QMessageBox::StandardButton(answer));
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser);
        chooser.setDirectory(m_bare);
        chooser.show();
        QVERIFY(!chooser.checkSelection());
        QVERIFY(chooser.isVisible());
        QCOMPARE(m_boxes.shown().size(), size_t(2));
        // The folder looked in, once, and said as such.
        QCOMPARE(m_boxes.shown()[0].text,
                 QStringLiteral("Aucun fichier Statistiques (nic.inf) dans ") + m_bare + QLatin1Char('/'));
        QCOMPARE(m_boxes.shown()[0].over, &chooser);
        QCOMPARE(m_boxes.shown()[1].caption, QStringLiteral("VORP"));
        QCOMPARE(m_boxes.shown()[1].buttons, QMessageBox::Retry | QMessageBox::Cancel);
    }

    // A reader's check while the chooser is hidden: the boxes open over the reader, and so does the chooser
    // shown by Retry when the graph window it stays above is hidden (on the private desktop too, framed by a
    // window manager: desktop_folderchooser).
    void readerRetryShowsTheChooserOverTheReader()
    {
        m_boxes.setNextAnswer(QMessageBox::Retry);
        QWidget graph;
        QWidget reader;
        reader.setGeometry(520, 330, 410, 413);
        reader.show();
        QVERIFY(QTest::qWaitForWindowExposed(&reader));
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser, &graph);
        chooser.setDirectory(m_bare);
        QVERIFY(!chooser.checkBeforeReading(&reader));
        QVERIFY(chooser.isVisible());
        QCOMPARE(m_boxes.shown().size(), size_t(2));
        for (const MessageBoxes::Shown& box : m_boxes.shown())
            QCOMPARE(box.over, &reader);
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QTRY_VERIFY(reader.frameGeometry().contains(chooser.frameGeometry().center()));
    }

    // With no folder chosen or stored, a reader takes the folder of the interface being recorded under the
    // store root, without a box; with none there yet, one sentence says why there is nothing to read.
    void readerTakesTheRecordedInterface_data()
    {
        QTest::addColumn<QStringList>("folders"); // "folder:ifname" under the store root; no ifname: no nic.inf
        QTest::addColumn<std::vector<bool>>("checked");
        QTest::addColumn<QString>("taken"); // the folder taken; empty: none
        QTest::addColumn<QStringList>("boxes");
        const QStringList store{QStringLiteral("A wifi:wlan0"), QStringLiteral("B Ethernet I219-V:LAN Adapter"),
                                QStringLiteral("C empty:")};
        QTest::newRow("the checked interface's folder")
            << store << std::vector<bool>{false, true} << "B Ethernet I219-V" << QStringList();
        QTest::newRow("the first checked interface that has a folder")
            << store << std::vector<bool>{true, true} << "B Ethernet I219-V" << QStringList();
        QTest::newRow("none checked: the first folder with statistics")
            << store << std::vector<bool>{false, false} << "A wifi" << QStringList();
        QTest::newRow("checked interface not recorded yet: the first folder with statistics")
            << QStringList{QStringLiteral("A wifi:wlan0")} << std::vector<bool>{false, true} << "A wifi"
            << QStringList();
        QTest::newRow("nothing recorded yet")
            << QStringList{QStringLiteral("C empty:")} << std::vector<bool>{false, true} << QString()
            << QStringList{QStringLiteral("Aucune statistique n'est encore enregistrée pour l'interface LAN Adapter : "
                                          "elles sont écrites toutes les cinq minutes.")};
        QTest::newRow("nothing recorded, nothing checked: the configuration")
            << QStringList() << std::vector<bool>{false, false} << QString()
            << QStringList{QStringLiteral("Vous devez choisir des interfaces à surveiller pour établir et afficher "
                                          "leurs statistiques.")};
    }
    void readerTakesTheRecordedInterface()
    {
        QFETCH(QStringList, folders);
        QFETCH(std::vector<bool>, checked);
        QFETCH(QString, taken);
        QFETCH(QStringList, boxes);
        // The default store root lies in a hidden folder, deep enough for a long name to leave the tree's width.
        QTemporaryDir home;
        const QString root = home.path() + QStringLiteral("/user/.local/share/VORP/");
        QVERIFY(QDir().mkpath(root));
        for (const QString& folder : folders)
        {
            const QString dir = root + folder.section(QLatin1Char(':'), 0, 0);
            const QString ifname = folder.section(QLatin1Char(':'), 1);
            QVERIFY(QDir().mkpath(dir));
            if (ifname.isEmpty())
                continue;
            QFile f(dir + QStringLiteral("/nic.inf"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[VORP DB]\r\nifname=" + ifname.toUtf8() + "\r\n[data]\r\n");
        }
        m_checked = checked;
        QWidget reader;
        reader.show();
        FolderChooser chooser(m_boxes, root);
        attach(chooser);
        QVERIFY(!chooser.chosen());
        QCOMPARE(chooser.selectedDirectory(), QDir::cleanPath(root));

        QCOMPARE(chooser.checkBeforeReading(&reader), !taken.isEmpty());
        QCOMPARE(m_boxes.shownTexts(), boxes);
        for (const MessageBoxes::Shown& box : m_boxes.shown())
            QCOMPARE(box.over, &reader);
        const bool noneChecked = std::none_of(checked.begin(), checked.end(), [](bool b) { return b; });
        QCOMPARE(m_configurationShown, taken.isEmpty() && noneChecked ? 1 : 0);
        QVERIFY(!chooser.isVisible());
        if (taken.isEmpty())
        {
            QVERIFY(!chooser.chosen());
            return;
        }
        QCOMPARE(chooser.selectedDirectory(), root + taken);
        QVERIFY(chooser.chosen());
        // The graph's check takes it the same way.
        FolderChooser graphs(m_boxes, root);
        attach(graphs);
        QVERIFY(graphs.checkSelection(CheckSender::Reader, &reader));
        QCOMPARE(graphs.selectedDirectory(), root + taken);
        QCOMPARE(m_boxes.shown().size(), size_t(boxes.size()));

        // Opened, the chooser shows that folder, hidden store root and all, scrolled to it.
        FolderChooser opened(m_boxes, root);
        attach(opened);
        opened.show();
        QCOMPARE(opened.selectedDirectory(), root + taken);
        auto* tree = Control<QTreeView>(opened, "do1");
        const auto shown = [tree] {
            auto* model = qobject_cast<QFileSystemModel*>(tree->model());
            const QModelIndex current = tree->currentIndex();
            return model && current.isValid() ? model->filePath(current) : QString();
        };
        QTRY_COMPARE(shown(), root + taken);
        // Its name whole in sight, however deep the store lies.
        const auto nameInSight = [tree, &taken] {
            const QRect item = tree->visualRect(tree->currentIndex());
            const QRect name(item.topLeft(), QSize(tree->fontMetrics().horizontalAdvance(taken), item.height()));
            return tree->viewport()->rect().contains(name);
        };
        QTRY_VERIFY(nameInSight());
    }

    // A folder stored at the last run is chosen again only while it holds statistics: the working folder
    // an older version stored, or a folder since emptied, leaves the readers to take the recorded one.
    void storedFolderMustHoldStatistics_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("statistics folder") << "valid" << true;
        QTest::newRow("folder without nic.inf") << "bare" << false;
        QTest::newRow("store root") << "root" << false;
        QTest::newRow("nothing") << "" << false;
    }
    void storedFolderMustHoldStatistics()
    {
        QFETCH(QString, stored);
        QFETCH(bool, chosen);
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser);
        chooser.setStoredDirectory(stored == QLatin1String("valid")  ? m_valid
                                   : stored == QLatin1String("bare") ? m_bare
                                   : stored == QLatin1String("root") ? m_root
                                                                     : QString());
        QCOMPARE(chooser.chosen(), chosen);
        QCOMPARE(chooser.selectedDirectory(), chosen ? m_valid : QDir::cleanPath(m_root));
    }

    void noInterfaceCheckedOpensTheConfiguration()
    {
        m_checked = {false, false};
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser);
        chooser.setDirectory(m_root);
        QVERIFY(!chooser.checkBeforeReading());
        QCOMPARE(m_configurationShown, 1);
        QCOMPARE(m_boxes.shown().size(), size_t(2)); // where it looked, then the notice; no question
        QCOMPARE(m_boxes.shown()[0].text, QStringLiteral("Aucun fichier Statistiques (nic.inf) dans ") +
                                              QDir::cleanPath(m_root) + QLatin1Char('/'));
        QCOMPARE(m_boxes.shown()[1].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(m_boxes.shown()[1].text, QStringLiteral("Vous devez choisir des interfaces à surveiller pour "
                                                         "établir et afficher leurs statistiques."));
        QVERIFY(!chooser.isVisible());
    }

    // The graph window it disables cannot cover it: it is transient for that window, shown or not yet.
    void staysAboveTheGraphWindow()
    {
        QWidget graph;
        FolderChooser chooser(m_boxes, m_root);
        ChooserPeers peers;
        peers.graphWindow = &graph;
        chooser.setPeers(peers);
        chooser.show();
        QVERIFY(graph.windowHandle());
        QCOMPARE(chooser.windowHandle()->transientParent(), graph.windowHandle());
        graph.show();
        chooser.hide();
        chooser.show();
        QCOMPARE(chooser.windowHandle()->transientParent(), graph.windowHandle());
    }

    // Hidden and shown again, it stands where it was, also where a window manager frames it and the user
    // moves it (run on the private desktop by desktop_folderchooser).
    void reopensWhereItWas_data()
    {
        QTest::addColumn<bool>("moved");
        QTest::newRow("where it was first placed") << false;
        QTest::newRow("where the user moved it") << true;
    }
    void reopensWhereItWas()
    {
        QFETCH(bool, moved);
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser);
        chooser.show();
        // Active once the window manager has placed and framed it.
        QVERIFY(QTest::qWaitForWindowActive(&chooser));
        if (moved)
        {
            const QPoint placed = chooser.pos();
            const QPoint to = chooser.screen()->availableGeometry().topLeft() + QPoint(150, 120);
            const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
            // On a desktop the window manager moves it, as a drag would; elsewhere the program does.
            if (QGuiApplication::platformName() == QLatin1String("xcb") && !xdotool.isEmpty())
                QCOMPARE(QProcess::execute(xdotool, {QStringLiteral("windowmove"), QString::number(chooser.winId()),
                                                     QString::number(to.x()), QString::number(to.y())}),
                         0);
            else
                chooser.move(to);
            QTRY_VERIFY(chooser.pos() != placed);
        }
        const QPoint frame = chooser.pos();
        const QRect client = chooser.geometry();
        for (int time = 0; time < 3; ++time)
        {
            Control<QPushButton>(chooser, "CancelBtn")->click();
            QVERIFY(!chooser.isVisible());
            chooser.show();
            QVERIFY(QTest::qWaitForWindowActive(&chooser));
            QTRY_COMPARE(chooser.geometry(), client);
            QCOMPARE(chooser.pos(), frame);
        }
    }

    void cancelHidesAndEnablesTheGraph()
    {
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser);
        chooser.show();
        Control<QPushButton>(chooser, "CancelBtn")->click();
        QVERIFY(!chooser.isVisible());
        QCOMPARE(m_graphEnabled, 1);
        QVERIFY(m_boxes.shown().empty());
    }
};

QTEST_MAIN(TestFolderChooser)
#include "tst_folderchooser.moc"
