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

    void attach(FolderChooser& chooser)
    {
        chooser.setPeers({[this](bool on) { m_graphEnabled += on ? 1 : 0; }, [this] { return m_checked; },
                          [this] { ++m_configurationShown; }});
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
        QCOMPARE(m_boxes.shown()[0].text, m_bare + QLatin1Char('/')); // the folder looked in, once
        QCOMPARE(m_boxes.shown()[1].caption, QStringLiteral("VORP"));
        QCOMPARE(m_boxes.shown()[1].buttons, QMessageBox::Retry | QMessageBox::Cancel);
    }

    void readerRetryShowsTheChooser()
    {
        m_boxes.setNextAnswer(QMessageBox::Retry);
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser);
        chooser.setDirectory(m_bare);
        QVERIFY(!chooser.checkBeforeReading());
        QVERIFY(chooser.isVisible());
    }

    void noInterfaceCheckedOpensTheConfiguration()
    {
        m_checked = {false, false};
        FolderChooser chooser(m_boxes, m_root);
        attach(chooser);
        chooser.setDirectory(m_root);
        QVERIFY(!chooser.checkBeforeReading());
        QCOMPARE(m_configurationShown, 1);
        QCOMPARE(m_boxes.shown().size(), size_t(2)); // the path, then the notice; no question
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
