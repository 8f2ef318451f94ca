// SPDX-License-Identifier: GPL-3.0-or-later
#include "meter/widgets/MeterWindow.h"

#include "common/Clock.h"
#include "common/ErrorReporter.h"
#include "config/ScalePresets.h"
#include "config/Settings.h"
#include "config/SettingsStore.h"
#include "config/widgets/ConfigWindow.h"
#include "sampling/Sampler.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <array>
#include <memory>

namespace
{
// Hands out an exact table and counts the snapshots taken.
class CountingSource final : public TableSource
{
public:
    std::optional<InterfaceTable> fetch() override
    {
        ++fetches;
        return table;
    }
    InterfaceTable table;
    int fetches = 0;
};

class FakeFeed final : public StopwatchFeed
{
public:
    bool isRunning() const override { return true; }
    void addSample(int32_t in, int32_t out) override { samples.push_back({in, out}); }
    std::vector<std::pair<int32_t, int32_t>> samples;
};

InterfaceRow Row(const char* name, uint64_t in, uint64_t out)
{
    return InterfaceRow{QByteArray(name), in, out};
}

// A window's control by its objectName.
template <typename T> T* Find(const QWidget& window, const char* name)
{
    T* control = window.findChild<T*>(QLatin1String(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}

// The settings model, the configuration window that edits it and the meter that follows it, over a
// settings file in a temporary folder. Values written through prepare() are on the file before the
// model is loaded.
struct Rig
{
    explicit Rig(const std::function<void(SettingsStore&)>& prepare = {},
                 QDateTime now = QDateTime(QDate(2004, 6, 15), QTime(14, 35, 7)))
        : clock(std::move(now))
    {
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("VORP.conf")));
        WriteInterfaceMarks(*store, QStringLiteral("lo"), {false, true, false});
        WriteInterfaceMarks(*store, QStringLiteral("eth0"), {false, false, true});
        if (prepare)
            prepare(*store);
        store->sync();
        source.table = {Row("lo", 0, 0), Row("eth0", 0, 0)};
        sampler = std::make_unique<Sampler>(source);
        settings.load(*store, DisplayNames(source.table));
        form1 = std::make_unique<ConfigWindow>(settings);
        form3 = std::make_unique<MeterWindow>(settings, *sampler, clock, errors, dir.path() + QLatin1Char('/'));
        Find<QTimer>(*form3, "Timer1")->stop();
    }

    template <typename T = QCheckBox> T* config(const char* name) const { return Find<T>(*form1, name); }
    int32_t fullScale() const { return settings.value(settings::MeterFullScale); }
    int32_t scaleIndex() const { return settings.value(settings::MeterScaleIndex); }

    // One second of traffic at the default period on both rows.
    void advance(uint64_t loIn, uint64_t loOut, uint64_t ethIn = 0, uint64_t ethOut = 0)
    {
        source.table[0].inOctets += loIn;
        source.table[0].outOctets += loOut;
        source.table[1].inOctets += ethIn;
        source.table[1].outOctets += ethOut;
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    CountingSource source;
    std::unique_ptr<Sampler> sampler;
    Settings settings;
    CollectingErrorReporter errors;
    TestClock clock;
    std::unique_ptr<ConfigWindow> form1;
    std::unique_ptr<MeterWindow> form3;
};

void SendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint pos)
{
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Counts the events of one type that reach a widget.
class EventCounter final : public QObject
{
public:
    EventCounter(QWidget* target, QEvent::Type type) : m_type(type) { target->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == m_type)
            ++count;
        return false;
    }

private:
    QEvent::Type m_type;
};

// The first column of the camera icon that is painted at all.
int FirstPaintedColumn(const QLabel& icon)
{
    const QImage image = icon.pixmap().toImage();
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (qAlpha(image.pixel(x, y)) > 0)
                return x;
    return image.width();
}

// On the private desktop (QT_QPA_PLATFORM=xcb), what the X server and the window manager have made of a
// window, read as a user's tools read it; elsewhere the toolkit's own view.
bool OnDesktop()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

QString Output(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(program), arguments);
    process.waitForFinished();
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The frame the window manager drew around the client area (_NET_FRAME_EXTENTS), none when it drew none.
QMargins DrawnFrame(const QWidget& w)
{
    const QString text = Output(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(w.winId()),
                                                          QStringLiteral("_NET_FRAME_EXTENTS")});
    const QStringList numbers = text.section(QLatin1Char('='), 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (numbers.size() != 4)
        return {};
    // left, right, top, bottom
    return QMargins(numbers[0].trimmed().toInt(), numbers[2].trimmed().toInt(), numbers[1].trimmed().toInt(),
                    numbers[3].trimmed().toInt());
}

// Where the client area stands on the screen.
QPoint ClientOnScreen(const QWidget& w)
{
    if (!OnDesktop())
        return w.geometry().topLeft();
    const QString text = Output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(w.winId())});
    const auto field = [&text](const char* name) {
        const qsizetype at = text.indexOf(QLatin1String(name));
        return at < 0 ? 0 : QStringView(text).mid(at + qstrlen(name)).trimmed().split(u'\n').first().toInt();
    };
    return {field("Absolute upper-left X:"), field("Absolute upper-left Y:")};
}

// The whole window, frame included.
QRect FrameOnScreen(const QWidget& w)
{
    if (!OnDesktop())
        return w.frameGeometry();
    return QRect(ClientOnScreen(w), w.size()).marginsAdded(DrawnFrame(w));
}

// Until the window manager, where there is one, has drawn or taken off the frame as asked.
void WaitForFrame(const QWidget& w)
{
    if (OnDesktop())
        QTRY_VERIFY(DrawnFrame(w).isNull() == bool(w.windowFlags() & Qt::FramelessWindowHint));
}

void SendWheel(QWidget* target, int delta)
{
    QWheelEvent event(QPointF(10, 10), QPointF(target->mapToGlobal(QPoint(10, 10))), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}
} // namespace

class TestMeterWindow final : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void startsFromStoredSettings_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("micro");
        QTest::addColumn<bool>("tracegraph");
        QTest::addColumn<bool>("graphShown");
        QTest::addColumn<bool>("frameless");
        QTest::addColumn<int>("minimumHeight");
        QTest::addColumn<QRect>("geometry");

        QTest::newRow("empty store: form defaults, graph shown")
            << false << false << true << true << false << 50 << QRect(197, 123, 403, 189);
        QTest::newRow("stored geometry with the graph")
            << true << false << true << true << false << 50 << QRect(40, 30, 300, 150);
        QTest::newRow("graph hidden: the window is its title bar")
            << true << false << false << false << false << 19 << QRect(40, 30, 300, 19);
        QTest::newRow("micro: compact, borderless, graph box unticked and disabled")
            << true << true << true << false << true << 19 << QRect();
    }

    void startsFromStoredSettings()
    {
        QFETCH(bool, stored);
        QFETCH(bool, micro);
        QFETCH(bool, tracegraph);
        QFETCH(bool, graphShown);
        QFETCH(bool, frameless);
        QFETCH(int, minimumHeight);
        QFETCH(QRect, geometry);

        Rig rig([&](SettingsStore& s) {
            if (!stored)
                return;
            s.writeString(QStringLiteral("lrec"), QStringLiteral("00CC00"));
            s.writeInt(QStringLiteral("width"), 300);
            s.writeInt(QStringLiteral("height"), 150);
            s.writeInt(QStringLiteral("top"), 30);
            s.writeInt(QStringLiteral("left"), 40);
            s.writeBool(QStringLiteral("micro"), micro);
            s.writeBool(QStringLiteral("tracegraph"), tracegraph);
            s.writeInt(QStringLiteral("Type moyenne"), 2);
        });
        MeterWindow& w = *rig.form3;
        auto* rate = Find<QLabel>(w, "Label1");
        QCOMPARE(w.windowTitle(), QStringLiteral("Tachymetre"));
        QVERIFY(w.windowFlags() & Qt::Tool);
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(w.frameless(), frameless);
        QCOMPARE(bool(w.windowFlags() & Qt::FramelessWindowHint), frameless);
        // A close box only.
        QCOMPARE(bool(w.windowFlags() & Qt::WindowCloseButtonHint), !frameless);
        QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(rig.settings.value(settings::MeterGraphShown), graphShown);
        QCOMPARE(rig.config("cbGr")->isChecked(), graphShown);
        QCOMPARE(rig.config("cbGr")->isEnabled(), !micro);
        QCOMPARE(Find<QAction>(w, "Modemicro1")->isChecked(), micro);
        QCOMPARE(Find<QLabel>(w, "Image1")->isHidden(), micro);
        QCOMPARE(Find<MeterImage>(w, "im2")->isHidden(), !graphShown);
        QCOMPARE(w.minimumHeight(), minimumHeight);
        QCOMPARE(rate->text(), QStringLiteral("DL : 0ko/s  UL : 0ko/s"));
        QVERIFY(Find<QPushButton>(w, "Button1")->isHidden());
        QCOMPARE(w.averageChoice(), stored ? AverageChoice::Sent : AverageChoice::None);
        QCOMPARE(Find<QAction>(w, "Envoi1")->isChecked(), stored);
        if (!stored)
        {
            QCOMPARE(rig.fullScale(), 65536);
            QCOMPARE(rig.scaleIndex(), -1);
            QVERIFY(!rig.settings.value(settings::MeterUnitOctets));
        }
        if (!micro)
        {
            QCOMPARE(w.pos(), geometry.topLeft());
            QCOMPARE(w.size(), geometry.size());
            return;
        }
        // Compact: after a tick the window hugs the rate text.
        w.show();
        rig.advance(0, 0);
        w.tick();
        const QFontMetrics metrics(rate->font());
        QCOMPARE(w.width(), std::max(60, metrics.horizontalAdvance(w.rateText()) + 2));
        QCOMPARE(w.height(), std::max(19, metrics.height() + 2));
    }

    // Restarted in compact mode, the window hugs the whole rate text, from ticks taken while hidden on.
    void compactRestartShowsTheWholeText()
    {
        Rig rig([](SettingsStore& s) {
            s.writeString(QStringLiteral("lrec"), QStringLiteral("00CC00"));
            s.writeBool(QStringLiteral("micro"), true);
        });
        MeterWindow& w = *rig.form3;
        auto* rate = Find<QLabel>(w, "Label1");
        w.tick();
        rig.advance(1264188, 80793);
        w.tick();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int k = 0; k < 2; ++k)
        {
            const int textWidth = QFontMetrics(rate->font()).horizontalAdvance(rate->text());
            QVERIFY(rate->x() >= 0);
            QVERIFY(rate->x() + textWidth <= w.width());
            rig.advance(1264188, 80793);
            w.tick();
        }
    }

    void hiddenGraphTitleFillsTheWindow()
    {
        Rig rig;
        MeterWindow& w = *rig.form3;
        auto* rate = Find<QLabel>(w, "Label1");
        auto* titleBar = Find<QWidget>(w, "Shape1");
        auto* graph = Find<MeterImage>(w, "im2");
        const int graphFontSize = QFontInfo(rate->font()).pixelSize();
        rig.config("cbGr")->setChecked(false);
        QCOMPARE(w.height(), 19);
        QVERIFY(Find<QWidget>(w, "Shape2")->isHidden() && Find<MeterImage>(w, "im1")->isHidden() && graph->isHidden());

        // Taller than the title bar's 100 pixels: cut back, and the text grows with the bar.
        w.resize(w.width(), 150);
        w.layOut();
        QCOMPARE(w.height(), 100);
        QCOMPARE(titleBar->height(), 100);
        QVERIFY(QFontInfo(rate->font()).pixelSize() > graphFontSize);
        QVERIFY(QFontMetrics(rate->font()).height() <= 98);

        // Back to the graph: the remembered title bar and client heights return.
        rig.config("cbGr")->setChecked(true);
        QCOMPARE(titleBar->height(), 19);
        QCOMPARE(w.height(), 189);
        QCOMPARE(graph->geometry(), QRect(48, 18, 403 - 48, 189 - 19));
        QVERIFY(!graph->isHidden());
    }

    // A stored position off every screen comes back with the whole frame on the nearest screen, moved no
    // more than needed; the corrected position is the one saved. On the private desktop
    // (desktop_meterwindow) the frame is the window manager's, title bar included.
    void storedPositionOffEveryScreen_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::newRow("far right and up") << 99999 << -99999;
        QTest::newRow("far below") << 300 << 99999;
        QTest::newRow("13 pixels left on screen") << -390 << 100;
    }
    void storedPositionOffEveryScreen()
    {
        QFETCH(int, left);
        QFETCH(int, top);
        Rig rig([&](SettingsStore& s) {
            s.writeString(QStringLiteral("lrec"), QStringLiteral("00CC00"));
            s.writeInt(QStringLiteral("left"), left);
            s.writeInt(QStringLiteral("top"), top);
        });
        MeterWindow& w = *rig.form3;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        WaitForFrame(w);
        const QRect screen = w.screen()->availableGeometry();
        QTRY_VERIFY_WITH_TIMEOUT(screen.contains(FrameOnScreen(w)), 30000); // the window manager acts in its own time
        const QRect frame = FrameOnScreen(w);
        const QPoint client = ClientOnScreen(w);
        // Against the edges it came from, and where it was along the others.
        if (left > screen.right())
            QCOMPARE(frame.right(), screen.right());
        else if (left < screen.left())
            QCOMPARE(frame.left(), screen.left());
        else
            QCOMPARE(client.x(), left);
        if (top < screen.top())
            QCOMPARE(frame.top(), screen.top());
        else if (top > screen.bottom())
            QCOMPARE(frame.bottom(), screen.bottom());
        else
            QCOMPARE(client.y(), top);
        // The settings place the client area.
        QVERIFY(rig.settings.save(*rig.store));
        SettingsStore reread(rig.store->path());
        QCOMPARE(reread.readInt(QStringLiteral("left")), std::optional<int32_t>(ClientOnScreen(w).x()));
        QCOMPARE(reread.readInt(QStringLiteral("top")), std::optional<int32_t>(ClientOnScreen(w).y()));
    }

    // The client area stays where it is whatever the frame does: a double-click on the graph takes the frame
    // off or puts it back, compact mode takes it off and gives it back. Shown fresh from a stored position, as
    // at start. On the private desktop (desktop_meterwindow) a window manager draws and removes the frame.
    void clientAreaStaysThroughFrameChanges_data()
    {
        QTest::addColumn<QString>("steps"); // g: double-click on the graph; c: "&Mode Compact"
        QTest::newRow("frame off and on from the graph") << "gg";
        QTest::newRow("compact on and off") << "cc";
        QTest::newRow("frame off, compact on and off, frame back") << "gccg";
        QTest::newRow("compact on and off, then frame off and on") << "ccgg";
    }
    void clientAreaStaysThroughFrameChanges()
    {
        QFETCH(QString, steps);
        Rig rig([](SettingsStore& s) {
            s.writeString(QStringLiteral("lrec"), QStringLiteral("00CC00"));
            s.writeInt(QStringLiteral("left"), 300);
            s.writeInt(QStringLiteral("top"), 200);
        });
        MeterWindow& w = *rig.form3;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        WaitForFrame(w);
        const QPoint client = ClientOnScreen(w);
        auto* legend = Find<MeterImage>(w, "im1");
        for (const QChar step : steps)
        {
            if (step == QLatin1Char('g'))
            {
                const bool frameless = w.frameless();
                SendMouse(legend, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, QPoint(200, 60));
                QCOMPARE(w.frameless(), !frameless);
            }
            else
            {
                Find<QAction>(w, "Modemicro1")->trigger();
                w.tick();
            }
            WaitForFrame(w);
            QTRY_COMPARE(ClientOnScreen(w), client);
        }
    }

    void compactModeKeepsPlaceLayerAndSize()
    {
        Rig rig;
        MeterWindow& w = *rig.form3;
        w.move(300, 200);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The client area, as it is saved.
        const QRect before = w.geometry();
        const EventCounter hides(&w, QEvent::Hide);
        auto* compact = Find<QAction>(w, "Modemicro1");
        for (int k = 0; k < 3; ++k)
        {
            compact->trigger();
            w.tick();
            QVERIFY(w.frameless() && w.width() < before.width());
            // The frame and the layer change in place: hiding and showing the window again let the window
            // manager drop the stay-on-top state and move the window.
            QCOMPARE(hides.count, 0);
            QCOMPARE(w.windowHandle()->flags(), w.windowFlags());
            QVERIFY(w.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
            QVERIFY(w.windowHandle()->flags() & Qt::FramelessWindowHint);

            compact->trigger();
            w.tick();
            QCOMPARE(w.windowHandle()->flags(), w.windowFlags());
            QVERIFY(w.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
            QVERIFY(!(w.windowHandle()->flags() & Qt::FramelessWindowHint));
            // Back where it was, with the width and height it had.
            QCOMPARE(w.geometry(), before);
        }
        QCOMPARE(hides.count, 0);
        QVERIFY(w.isVisible() && rig.config("aot")->isChecked() && Find<QAction>(w, "popAOT")->isChecked());

        // Saved while compact, the size is the one it comes back to, so a restart gets it too.
        compact->trigger();
        w.tick();
        QVERIFY(rig.settings.save(*rig.store));
        SettingsStore reread(rig.store->path());
        QCOMPARE(reread.readInt(QStringLiteral("width")), std::optional<int32_t>(before.width()));
        QCOMPARE(reread.readInt(QStringLiteral("height")), std::optional<int32_t>(before.height()));
        QCOMPARE(reread.readInt(QStringLiteral("left")), std::optional<int32_t>(before.x()));
        QCOMPARE(reread.readInt(QStringLiteral("top")), std::optional<int32_t>(before.y()));
    }

    void showingBringsAMinimisedMeterBack()
    {
        Rig rig;
        MeterWindow& w = *rig.form3;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.setWindowState(Qt::WindowMinimized);
        QVERIFY(w.isMinimized());
        // The tray shows it again: still "visible", it must not stay minimised.
        w.show();
        QVERIFY(w.isVisible());
        QVERIFY(!w.isMinimized());

        // Hidden while minimised, then shown.
        w.setWindowState(Qt::WindowMinimized);
        w.hide();
        w.show();
        QVERIFY(!w.isMinimized());
    }

    void rateTextStaysLeftOfTheCamera_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("graph");
        QTest::newRow("default window") << QSize(403, 189) << true;
        QTest::newRow("narrowest window") << QSize(60, 189) << true;
        QTest::newRow("graph hidden, 100 high") << QSize(200, 100) << false;
        QTest::newRow("graph hidden, narrowest") << QSize(60, 40) << false;
    }
    void rateTextStaysLeftOfTheCamera()
    {
        QFETCH(QSize, size);
        QFETCH(bool, graph);
        Rig rig;
        MeterWindow& w = *rig.form3;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        rig.config("cbGr")->setChecked(graph);
        w.resize(size);
        w.layOut();
        // A long rate text, then the ticks that fit and place it.
        w.tick();
        rig.advance(1264188, 80793, 0, 0);
        w.tick();
        rig.advance(1264188, 80793, 0, 0);
        w.tick();
        auto* rate = Find<QLabel>(w, "Label1");
        auto* icon = Find<QLabel>(w, "Image1");
        QCOMPARE(rate->text(), QStringLiteral("DL : 9876.46kbps  UL : 631.19kbps"));
        QVERIFY(!icon->isHidden());
        const int textRight = rate->x() + QFontMetrics(rate->font()).horizontalAdvance(rate->text());
        QVERIFY2(textRight <= icon->x() + FirstPaintedColumn(*icon),
                 qPrintable(QStringLiteral("text ends at %1, camera at %2").arg(textRight).arg(icon->x())));
        QVERIFY(rate->x() >= 0);
    }

    void wheel_data()
    {
        QTest::addColumn<int>("scaleIndex");
        QTest::addColumn<int>("fullScale");
        QTest::addColumn<QList<int>>("turns");
        QTest::addColumn<QStringList>("readouts"); // lbEch as each new full scale is set
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("expectedIndex");
        QTest::addColumn<QString>("finalReadout");

        QTest::newRow("down from a manual 1200: 1000 flashes, clamps to 1025, back to Automatique")
            << 8 << 1200 << QList<int>{-120} << QStringList{QStringLiteral("1000")} << 1025 << 7
            << QStringLiteral("Auto");
        QTest::newRow("up twice from an automatic 5001: Manuel, 6001 then 7201")
            << 7 << 5001 << QList<int>{120, 120} << QStringList{QStringLiteral("6001"), QStringLiteral("7201")} << 7201
            << 8 << QStringLiteral("7201");
        QTest::newRow("down from 1500 stays manual at 1250")
            << 8 << 1500 << QList<int>{-120} << QStringList{QStringLiteral("1250")} << 1250 << 8
            << QStringLiteral("1250");
        QTest::newRow("up at the top of the range stays there")
            << 8 << 2147483647 << QList<int>{120} << QStringList{} << 2147483647 << 8 << QStringLiteral("2576980376");
    }

    void wheel()
    {
        QFETCH(int, scaleIndex);
        QFETCH(int, fullScale);
        QFETCH(QList<int>, turns);
        QFETCH(QStringList, readouts);
        QFETCH(int, expected);
        QFETCH(int, expectedIndex);
        QFETCH(QString, finalReadout);

        Rig rig;
        auto* readout = Find<QLabel>(*rig.form3, "lbEch");
        rig.settings.set(settings::MeterScaleIndex, scaleIndex);
        rig.settings.set(settings::MeterFullScale, fullScale);
        QStringList seen;
        QObject::connect(&rig.settings, &Settings::changed, rig.form3.get(), [&](int row) {
            if (Settings::is(row, settings::MeterFullScale))
                seen << readout->text();
        });
        for (int delta : turns)
            SendWheel(rig.form3.get(), delta);

        QCOMPARE(seen, readouts);
        QCOMPARE(rig.fullScale(), expected);
        QCOMPARE(rig.scaleIndex(), expectedIndex);
        // The configuration window shows what the wheel did.
        QCOMPARE(rig.config<QSpinBox>("spdspin")->value(), expected);
        QCOMPARE(rig.config<QComboBox>("cb")->currentIndex(), expectedIndex);
        QCOMPARE(rig.config<QSpinBox>("spdspin")->isEnabled(), expectedIndex == 8);
        QVERIFY(!readout->isHidden());
        QCOMPARE(readout->text(), finalReadout);
        // The legend followed: its pixel scale is that of the new full scale.
        QCOMPARE(rig.form3->pixelScale(), float(Find<MeterImage>(*rig.form3, "im2")->height()) / float(expected));

        // The read-out goes with the next move without the middle button.
        SendMouse(Find<QLabel>(*rig.form3, "Label1"), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPoint(3, 3));
        QVERIFY(readout->isHidden());
    }

    void middleDragChangesPeriodLeftDragMoves()
    {
        Rig rig;
        MeterWindow& w = *rig.form3;
        auto* rate = Find<QLabel>(w, "Label1");
        auto* readout = Find<QLabel>(w, "lbEch");
        auto* legend = Find<MeterImage>(w, "im1");
        const QPoint start = w.pos();
        QCOMPARE(rig.settings.refreshPosition(), 20);
        rig.settings.setPrimed(true);

        SendMouse(rate, QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton, QPoint(5, 2));
        for (int y = 3; y <= 12; ++y)
            SendMouse(rate, QEvent::MouseMove, Qt::NoButton, Qt::MiddleButton, QPoint(5, y));
        QCOMPARE(readout->text(), rig.config<QLabel>("Label14")->text());
        QVERIFY(readout->text().contains(QStringLiteral("1500")));
        SendMouse(rate, QEvent::MouseButtonRelease, Qt::MiddleButton, Qt::NoButton, QPoint(5, 12));

        QCOMPARE(rig.settings.refreshPosition(), 30);
        QCOMPARE(rig.config<QSlider>("tb")->value(), 30);
        QCOMPARE(Find<QTimer>(w, "Timer1")->interval(), 1500);
        QVERIFY(!rig.settings.primed()); // readings of the old period give no rate
        QCOMPARE(w.pos(), start);

        // A left click without movement leaves the window where it is.
        SendMouse(rate, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(5, 12));
        SendMouse(rate, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(5, 12));
        QCOMPARE(w.pos(), start);

        // A left drag on the graph jumps once, on release, by the whole displacement.
        SendMouse(legend, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(60, 40));
        SendMouse(legend, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(64, 41));
        SendMouse(legend, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(70, 37));
        QCOMPARE(w.pos(), start);
        SendMouse(legend, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(70, 37));
        QCOMPARE(w.pos(), start + QPoint(10, -3));
        QCOMPARE(rig.settings.refreshPosition(), 30);

        // While the stopwatch holds the period, a middle drag leaves it.
        rig.settings.setRefreshLocked(true);
        SendMouse(rate, QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton, QPoint(5, 2));
        SendMouse(rate, QEvent::MouseMove, Qt::NoButton, Qt::MiddleButton, QPoint(5, 9));
        SendMouse(rate, QEvent::MouseButtonRelease, Qt::MiddleButton, Qt::NoButton, QPoint(5, 9));
        QCOMPARE(rig.settings.refreshPosition(), 30);
    }

    void averageReadout_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("y");
        QTest::addColumn<QString>("readout"); // empty: hidden

        // Graph 128 high, full scale 65536: the 1600 B/s line is at trunc(128 - 3.125) = 124.
        QTest::newRow("on the line with Reception") << QStringLiteral("Reception1") << 124 << QStringLiteral("1,5ko/s");
        QTest::newRow("one pixel above the line") << QStringLiteral("Reception1") << 123 << QString();
        QTest::newRow("no average chosen") << QStringLiteral("Aucun1") << 124 << QString();
    }

    void averageReadout()
    {
        QFETCH(QString, choice);
        QFETCH(int, y);
        QFETCH(QString, readout);
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));

        Rig rig;
        MeterWindow& w = *rig.form3;
        w.resize(60, 19 + 128);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(Find<MeterImage>(w, "im2")->size(), QSize(12, 128));
        w.findChild<QAction*>(choice)->trigger();
        // A priming tick, then ten samples of 1600 B/s fill the ten drawn columns.
        w.tick();
        for (int k = 0; k < 10; ++k)
        {
            rig.advance(1600, 0);
            w.tick();
        }
        QCOMPARE(w.averageValue(), 1600);

        SendMouse(Find<MeterImage>(w, "im1"), QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPoint(30, y));
        auto* readoutLabel = Find<QLabel>(w, "lbEch");
        QCOMPARE(readoutLabel->isVisible(), !readout.isEmpty());
        if (!readout.isEmpty())
            QCOMPARE(readoutLabel->text(), readout);
    }

    void tickFeedsTrayStopwatchAndScale()
    {
        Rig rig;
        MeterWindow& w = *rig.form3;
        FakeFeed feed;
        w.setStopwatchFeed(&feed);
        QList<std::pair<QString, int>> tray;
        w.setTrayPeer([&](const QString& hint, int image) { tray.append({hint, image}); });
        rig.settings.set(settings::MeterScaleIndex, 7); // Automatique, without the preset
        const int fetchesBefore = rig.source.fetches;

        w.tick(); // primes
        QCOMPARE(tray.size(), 1);
        QCOMPARE(tray[0], std::make_pair(QStringLiteral("DL : 0ko/s  UL : 0ko/s"), 0));
        QVERIFY(feed.samples.empty());
        QVERIFY(rig.settings.primed());

        // lo is in graph 1, eth0 in graph 2: both read from one snapshot per tick.
        rig.advance(2000, 50, 1000, 0);
        w.tick();
        rig.advance(2000, 50, 1000, 0);
        w.tick();
        QCOMPARE(rig.source.fetches - fetchesBefore, 3);
        QCOMPARE(tray.size(), 3);
        // 3000 B/s down is 23.43 kbit/s cut, 50 B/s up 0.39.
        const auto expected = std::make_pair(QStringLiteral("DL : 23.43kbps  UL : 0.39kbps"), 2);
        QCOMPARE(tray[1], expected);
        QCOMPARE(tray[2], expected);
        QCOMPARE(Find<QLabel>(w, "Label1")->text(), expected.first);
        QCOMPARE(feed.samples.size(), size_t(2));
        QCOMPARE(feed.samples[0], std::make_pair(int32_t(3000), int32_t(50)));
        // The automatic full scale is the largest value drawn, written back into the settings.
        QCOMPARE(rig.fullScale(), 2000);
        QCOMPARE(rig.config<QSpinBox>("spdspin")->value(), 2000);
        QCOMPARE(w.pixelScale(), float(Find<MeterImage>(w, "im2")->height()) / 2000.0f);
    }

    void snapshot_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::newRow("written in the store root") << true;
        QTest::newRow("unwritable folder: error box, icon back") << false;
    }

    void snapshot()
    {
        QFETCH(bool, writable);
        Rig rig({}, QDateTime(QDate(2004, 2, 3), QTime(9, 5, 7)));
        MeterWindow& w = *rig.form3;
        const QString name = rig.dir.filePath(QStringLiteral("VORP 2004-02-03 09;05;07.bmp"));
        QCOMPARE(w.snapshotFileName(rig.clock.now()), name);
        if (!writable)
            QVERIFY(QDir(rig.dir.path()).mkdir(name)); // a folder stands where the file should go
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        rig.advance(0, 0);
        w.tick();

        auto* icon = Find<QLabel>(w, "Image1");
        SendMouse(icon, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(5, 5));
        QVERIFY(!icon->isHidden());
        if (!writable)
        {
            QCOMPARE(rig.errors.messages, QStringList{QStringLiteral("Impossible d'écrire dans %1").arg(name)});
            return;
        }
        QVERIFY(rig.errors.messages.isEmpty());
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(2), QByteArray("BM"));
        file.close();
        const QImage saved(name, "BMP");
        QCOMPARE(saved.size(), w.size() * w.devicePixelRatio());
        // The title bar's grey in the picture, not the hidden icon.
        QCOMPARE(QColor(saved.pixel(saved.width() - 5, 3)), QColor(245, 245, 245));
        QCOMPARE(QGuiApplication::clipboard()->image().size(), saved.size());
    }

    // The graph is drawn a column at a time and only its changed part is repainted: after any sequence of
    // ticks, what the screen shows must be what drawing the whole window afresh shows. Steps, separated by
    // spaces: "t<n>" n ticks of traffic, "a" the automatic scale, "m<n>" a manual full scale of n, "r" a
    // counter reset, "s<w>x<h>" a resize, "v<n>" average choice n from the menu, "h" three ticks while the
    // meter is hidden, "g" the graph hidden and shown again.
    void screenAfterTicksMatchesAWholeRedraw_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("scale change, resize and counter reset") << QStringLiteral("t30 a t20 r t10 s300x150 t40");
        QTest::newRow("average line under a manual scale") << QStringLiteral("v1 t25 m20000 t25 v2 t10 v0 t5");
        QTest::newRow("graph hidden and back, ticks while hidden") << QStringLiteral("t20 g t10 h t15");
        // The automatic scale takes over on the first hidden tick: the legend is drawn when the meter is shown.
        QTest::newRow("scale moved while hidden") << QStringLiteral("t20 m5000 a h");
        // The graph's buffer runs out on the right twice.
        QTest::newRow("narrow window sliding far") << QStringLiteral("s120x100 v1 t160");
    }
    void screenAfterTicksMatchesAWholeRedraw()
    {
        QFETCH(QString, steps);
        Rig rig;
        MeterWindow& w = *rig.form3;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Every tick slides the graph; the screen has it once the window has handled its update request.
        const EventCounter updates(&w, QEvent::UpdateRequest);
        uint64_t k = 0;
        auto tick = [&] {
            ++k;
            // Up to a little above the default full scale, different on every tick.
            rig.advance((k * 7919) % 70000, (k * 104729) % 9000, (k * 31337) % 40000, (k * 17) % 3000);
            const int before = updates.count;
            w.tick();
            return !w.isVisible() || QTest::qWaitFor([&] { return updates.count > before; });
        };
        for (const QString& step : steps.split(QLatin1Char(' ')))
        {
            const QChar kind = step.front();
            const QString arg = step.mid(1);
            if (kind == QLatin1Char('t'))
                for (int n = arg.toInt(); n > 0; --n)
                    QVERIFY(tick());
            else if (kind == QLatin1Char('a'))
                rig.settings.set(settings::MeterScaleIndex, kAutomaticScaleIndex);
            else if (kind == QLatin1Char('m'))
            {
                rig.settings.set(settings::MeterScaleIndex, 8);
                rig.settings.set(settings::MeterFullScale, arg.toInt());
            }
            else if (kind == QLatin1Char('r'))
            {
                for (InterfaceRow& row : rig.source.table)
                    row.inOctets = row.outOctets = 0;
                QVERIFY(tick());
            }
            else if (kind == QLatin1Char('s'))
            {
                const QStringList wh = arg.split(QLatin1Char('x'));
                w.resize(wh[0].toInt(), wh[1].toInt());
            }
            else if (kind == QLatin1Char('v'))
                Find<QAction>(w, std::array{"Aucun1", "Reception1", "Envoi1"}[arg.toInt()])->trigger();
            else if (kind == QLatin1Char('h'))
            {
                w.hide();
                for (int n = 0; n < 3; ++n)
                    QVERIFY(tick());
                w.show();
                QVERIFY(QTest::qWaitForWindowExposed(&w));
            }
            else if (kind == QLatin1Char('g'))
            {
                rig.config("cbGr")->setChecked(false);
                rig.config("cbGr")->setChecked(true);
            }
        }
        QVERIFY(tick());
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(w.winId()).toImage();

        // Recorded on a device that is no raster image, the graph is put together a band of rows at a time:
        // the same pixels as on the screen.
        auto* graph = Find<MeterImage>(w, "im2");
        QPicture recorded;
        graph->render(&recorded);
        QImage replayed(graph->size(), QImage::Format_RGB32);
        replayed.fill(Qt::white);
        QPainter(&replayed).drawPicture(0, 0, recorded);
        QCOMPARE(replayed,
                 shown.copy(QRect(graph->mapTo(&w, QPoint()), graph->size())).convertToFormat(QImage::Format_RGB32));

        // Another height and back draws everything again from the same ring and scale.
        const EventCounter paints(Find<MeterImage>(w, "im2"), QEvent::Paint);
        const QSize size = w.size();
        w.resize(size + QSize(0, 1));
        w.resize(size);
        QTRY_VERIFY(paints.count > 0);
        const QImage redrawn = QGuiApplication::primaryScreen()->grabWindow(w.winId()).toImage();
        QCOMPARE(shown.size(), redrawn.size());
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != redrawn.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
    }

    // Hidden, the meter still hands the tray its text on every tick, but fits and places the text only once
    // shown again: where a tick at the same rate places it.
    void hiddenTicksPlaceTheTextOnShowing_data()
    {
        QTest::addColumn<bool>("compact");
        QTest::newRow("beside the graph") << false;
        QTest::newRow("compact, the window hugging the text") << true;
    }
    void hiddenTicksPlaceTheTextOnShowing()
    {
        QFETCH(bool, compact);
        Rig rig;
        MeterWindow& w = *rig.form3;
        QStringList hints;
        w.setTrayPeer([&](const QString& hint, int) { hints.append(hint); });
        if (compact)
            Find<QAction>(w, "Modemicro1")->trigger();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.tick();
        w.hide();
        rig.advance(1264188, 80793);
        w.tick();
        const QString text = QStringLiteral("DL : 9876.46kbps  UL : 631.19kbps");
        QCOMPARE(hints.last(), text);
        auto* rate = Find<QLabel>(w, "Label1");
        QCOMPARE(rate->text(), text);

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect placed = rate->geometry();
        const QFont font = rate->font();
        const QSize size = w.size();
        rig.advance(1264188, 80793);
        w.tick();
        QCOMPARE(rate->text(), text);
        QCOMPARE(rate->geometry(), placed);
        QCOMPARE(rate->font(), font);
        QCOMPARE(w.size(), size);
    }

    // The rate text changes on every tick and is drawn without the label's line layout: it must come out
    // as a plain label of the same font, text, size and colours draws it.
    void rateTextDrawnAsALabelDrawsIt_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("graph");
        QTest::addColumn<bool>("compact");
        QTest::newRow("default window") << QSize(403, 189) << true << false;
        QTest::newRow("graph hidden, 100 high") << QSize(403, 100) << false << false;
        QTest::newRow("narrow window") << QSize(150, 189) << true << false;
        QTest::newRow("compact") << QSize() << false << true;
    }
    void rateTextDrawnAsALabelDrawsIt()
    {
        QFETCH(QSize, size);
        QFETCH(bool, graph);
        QFETCH(bool, compact);
        Rig rig;
        MeterWindow& w = *rig.form3;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        rig.config("cbGr")->setChecked(graph);
        if (compact)
            Find<QAction>(w, "Modemicro1")->trigger();
        else
            w.resize(size);
        auto* rate = Find<QLabel>(w, "Label1");
        w.tick();
        for (const auto& [in, out] : {std::pair{1264188, 80793}, std::pair{3000, 50}, std::pair{123456, 7}})
        {
            rig.advance(in, out);
            w.tick();
            QLabel plain;
            plain.setAttribute(Qt::WA_TranslucentBackground);
            plain.setPalette(rate->palette());
            plain.setFont(rate->font());
            plain.setText(rate->text());
            plain.resize(rate->size());
            auto render = [](QWidget& label) {
                QImage image(label.size(), QImage::Format_RGB32);
                image.fill(QColor(245, 245, 245));
                label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
                return image;
            };
            const QImage drawn = render(*rate);
            QCOMPARE(drawn, render(plain));
            int inked = 0;
            for (int y = 0; y < drawn.height(); ++y)
                for (int x = 0; x < drawn.width(); ++x)
                    inked += drawn.pixel(x, y) != qRgb(245, 245, 245);
            QVERIFY(inked > 20);
        }
    }

    void closeBoxAndMenu()
    {
        Rig rig;
        MeterWindow& w = *rig.form3;
        QList<bool> meterItem;
        w.setMeterItemPeer([&](bool checked) { meterItem.append(checked); });
        // The application writes the file when the meter closes.
        QObject::connect(&w, &MeterWindow::closed, &w, [&rig] { QVERIFY(rig.settings.save(*rig.store)); });
        w.show();
        w.resize(250, 120);
        w.close();
        QVERIFY(!w.isVisible());
        QCOMPARE(meterItem, QList<bool>{false});
        QCOMPARE(rig.settings.value(settings::MeterWidth), 250);
        SettingsStore reread(rig.store->path());
        QCOMPARE(reread.readInt(QStringLiteral("width")), std::optional<int32_t>(250));
        QCOMPARE(reread.readInt(QStringLiteral("height")), std::optional<int32_t>(120));
        QCOMPARE(reread.readInt(QStringLiteral("left")), std::optional<int32_t>(w.geometry().x()));
        QCOMPARE(reread.readInt(QStringLiteral("top")), std::optional<int32_t>(w.geometry().y()));

        // Every save asks the meter for its geometry and average choice first.
        Find<QAction>(w, "Reception1")->trigger();
        w.resize(260, 120);
        QVERIFY(rig.settings.save(*rig.store));
        QCOMPARE(rig.settings.value(settings::MeterAverage), 1);
        QCOMPARE(SettingsStore(rig.store->path()).readInt(QStringLiteral("width")), std::optional<int32_t>(260));

        w.show();
        Find<QAction>(w, "Fermer1")->trigger();
        QVERIFY(!w.isVisible());
        QCOMPARE(meterItem, (QList<bool>{false, false}));

        auto* stayOnTop = Find<QAction>(w, "popAOT");
        stayOnTop->trigger();
        QVERIFY(!rig.config("aot")->isChecked());
        QVERIFY(!stayOnTop->isChecked() && !w.staysOnTop());
        QVERIFY(!(w.windowFlags() & Qt::WindowStaysOnTopHint));

        auto* compact = Find<QAction>(w, "Modemicro1");
        compact->trigger();
        QVERIFY(rig.config("micro")->isChecked() && compact->isChecked() && w.frameless());
        QVERIFY(!rig.config("cbGr")->isChecked());
        // A double click on the rate text toggles compact mode; on the legend, only the frame.
        SendMouse(Find<QLabel>(w, "Label1"), QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, QPoint(3, 3));
        QVERIFY(!rig.config("micro")->isChecked() && !compact->isChecked() && !w.frameless() &&
                rig.config("cbGr")->isChecked());
        SendMouse(Find<MeterImage>(w, "im1"), QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton,
                  QPoint(3, 3));
        QVERIFY(w.frameless() && !rig.config("micro")->isChecked());

        // Translucency follows the configuration window's box and level; off means opaque.
        rig.config<QSlider>("tbBlend")->setValue(102);
        QCOMPARE(w.windowOpacity(), 1.0);
        rig.config("cbBlend")->setChecked(true);
        QCOMPARE(w.windowOpacity(), 0.4);
        rig.config("cbBlend")->setChecked(false);
        QCOMPARE(w.windowOpacity(), 1.0);

        int toggles = 0;
        w.setToggleRecordingPeer([&toggles] { ++toggles; });
        Find<QPushButton>(w, "Button1")->click();
        QCOMPARE(toggles, 1);
        int configurations = 0;
        w.setShowConfigurationPeer([&configurations] { ++configurations; });
        Find<QAction>(w, "Configuration1")->trigger();
        QCOMPARE(configurations, 1);

        int activations = 0;
        w.setActivatePeer([&] { ++activations; });
        emit qApp->applicationStateChanged(Qt::ApplicationInactive);
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(activations, 1);

        // Without a notification area the tray menu's items come after the meter's own, each once.
        QMenu tray;
        QAction* graph = tray.addAction(QStringLiteral("&Graphique"));
        tray.addAction(QStringLiteral("&Configuration"));
        tray.addSeparator();
        QAction* quit = tray.addAction(QStringLiteral("&Quitter"));
        w.addTrayMenu(&tray);
        const QList<QAction*> items = Find<QMenu>(w, "PopupMenu1")->actions();
        QCOMPARE(items.last(), quit);
        QVERIFY(items.contains(graph));
        QStringList texts;
        for (const QAction* item : items)
            if (!item->isSeparator())
                texts << item->text();
        QCOMPARE(texts.count(QStringLiteral("&Configuration")), 1);
    }
};

QTEST_MAIN(TestMeterWindow)
#include "tst_meterwindow.moc"
