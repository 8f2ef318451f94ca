// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/DayNumber.h"
#include "reports/Descriptor.h"
#include "reports/Histogram.h"
#include "reports/OpeningCheck.h"
#include "reports/Totals.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace reports;

// nic.inf files damaged by hand edits, converters and stray writes: the opening check says what the
// user sees, and the totals and the histogram show every good pair.
namespace
{
// 10 and 11 March 2003 are days 37690 and 37691; today is the 11th.
const QDate kToday(2003, 3, 11);

QByteArray Join(const QByteArrayList& lines, const QByteArray& end = "\r\n")
{
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + end;
    return text;
}

const QByteArrayList kHeader = {"[VORP DB]", "version=1.0", "vorp_version=beta4", "ifname=eth0"};
const QByteArrayList kData = {"[data]", "37690D=100", "37690U=200", "37691D=300", "37691U=400"};
const QByteArray kGood = Join(kHeader + kData);
// What the good pairs show: the daily rows, and March 2003 by day with DL/UL.
const QString kGoodRows = QStringLiteral("10/03/2003 100 octets 200 octets 300 octets|"
                                         "11/03/2003 300 octets 400 octets 700 octets");
const QString kGoodBars = QStringLiteral("10:300 11:700");
const QString kOpenEth0 = QStringLiteral("Ouverture de l'interface :\neth0");

QByteArray RandomBytes(qsizetype size)
{
    QRandomGenerator random(37691);
    QByteArray bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random.bounded(256));
    return bytes;
}

bool WriteDescriptor(const QString& dir, const QByteArray& text)
{
    QFile f(dir + QStringLiteral("/nic.inf"));
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// Puts at path what kind names: a link to target, a folder, a FIFO, or bytes in a regular file that is
// then stretched (sparse, zeros) to one byte over the limit ("over"), to the limit ("limit") or not at all.
bool MakeStoreFile(const QString& kind, const QString& path, const QByteArray& bytes, const QString& target,
                   int64_t limit)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("link"))
        return ::symlink(QFile::encodeName(target).constData(), name.constData()) == 0;
    if (kind == QLatin1String("folder"))
        return ::mkdir(name.constData(), 0700) == 0;
    if (kind == QLatin1String("fifo"))
        return ::mkfifo(name.constData(), 0600) == 0;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return false;
    const int64_t size = kind == QLatin1String("over") ? limit + 1 : kind == QLatin1String("limit") ? limit : 0;
    return size == 0 || ::ftruncate(file.handle(), static_cast<off_t>(size)) == 0;
}

QString Rows(const std::vector<TotalsRow>& rows)
{
    QStringList texts;
    for (const TotalsRow& r : rows)
        texts << QStringList{r.label, r.received, r.sent, r.both}.join(QLatin1Char(' '));
    return texts.join(QLatin1Char('|'));
}

// "slot:sum" for every slot that is not zero.
QString Bars(const HistogramBuckets& b)
{
    QStringList parts;
    for (int i = 1; i <= 31; ++i)
        if (b.at(i) != 0.0f)
            parts << QStringLiteral("%1:%2").arg(i).arg(QString::number(double(b.at(i)), 'f', 0));
    return parts.join(QLatin1Char(' '));
}

HistogramSelection Select(int year, int month, HistogramView view, Direction direction)
{
    HistogramSelection s;
    s.year = year;
    s.month = month;
    s.view = view;
    s.direction = direction;
    return s;
}
} // namespace

class TestDamagedDescriptor final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void damagedDescriptor_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("okMessage");     // the chooser's "OK"
        QTest::addColumn<bool>("readerAccepted");   // a reader's check: silent, or kInvalidDescriptor
        QTest::addColumn<QString>("interfaceName"); // Label14 after the load
        QTest::addColumn<QString>("rows");          // the daily table; the load runs only when accepted
        QTest::addColumn<QString>("bars");          // the histogram draws whatever the check says

        QTest::newRow("no VORP DB section")
            << Join(kData) << kInvalidDescriptor << false << QString() << QString() << kGoodBars;
        QTest::newRow("ifname missing") << Join(kHeader.first(3) + kData) << kInvalidDescriptor << false << QString()
                                        << QString() << kGoodBars;
        QTest::newRow("ifname empty") << Join(kHeader.first(3) + QByteArrayList{"ifname="} + kData)
                                      << QStringLiteral("Ouverture de l'interface :\n") << true << QString()
                                      << kGoodRows << kGoodBars;
        // The readers take the section's lines as they stand: both copies of a day's pair are added,
        // and of two "ifname" keys the first is the name. Of two D lines in a row, the first has no partner.
        QTest::newRow("duplicate keys") << Join(kHeader + QByteArrayList{"IFNAME=second", "[data]", "37690D=100",
                                                                         "37690U=200", "37690D=1000", "37690U=2000",
                                                                         "37691D=5", "37691D=300", "37691U=400"})
                                        << kOpenEth0 << true << QStringLiteral("eth0")
                                        << QStringLiteral(
                                               "10/03/2003 1,07 Ko 2,14 Ko 3,22 Ko|11/03/2003 0,29 Ko 0,39 Ko 0,68 Ko")
                                        << QStringLiteral("10:3300 11:705");
        // A key that is not a day number is skipped wherever it stands, inside a pair too; a six-digit
        // key reads as a day with the letter "1" and is left without a partner.
        QTest::newRow("keys that are not day numbers")
            << Join(kHeader + QByteArrayList{"[data]", "abcdeD=5", "37690D=100", "xyzU=9", "37690U=200", "3769D=7",
                                             "376901D=50", "37691D=300", "-3769U=1", "37691U=400", "99999"})
            << kOpenEth0 << true << QStringLiteral("eth0") << kGoodRows << kGoodBars;
        QTest::newRow("lines without =") << Join(kHeader + QByteArrayList{"[data]", "37690D100", "37690D=100",
                                                                          "37690U 200", "37690U=200", "garbage",
                                                                          "37691D=300", "37691U=400", "37691U:7"})
                                         << kOpenEth0 << true << QStringLiteral("eth0") << kGoodRows << kGoodBars;
        QTest::newRow("random bytes") << RandomBytes(65536) << kInvalidDescriptor << false << QString() << QString()
                                      << QString();
        QTest::newRow("random bytes before a good file") << RandomBytes(65536) + "\r\n" + kGood << kOpenEth0 << true
                                                         << QStringLiteral("eth0") << kGoodRows << kGoodBars;
        QTest::newRow("CR-only line ends")
            << Join(kHeader + kData, "\r") << kOpenEth0 << true << QStringLiteral("eth0") << kGoodRows << kGoodBars;
        QTest::newRow("LF-only line ends")
            << Join(kHeader + kData, "\n") << kOpenEth0 << true << QStringLiteral("eth0") << kGoodRows << kGoodBars;
        QTest::newRow("UTF-8 byte order mark")
            << "\xEF\xBB\xBF" + kGood << kOpenEth0 << true << QStringLiteral("eth0") << kGoodRows << kGoodBars;
    }

    void damagedDescriptor()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, okMessage);
        QFETCH(bool, readerAccepted);
        QTemporaryDir root;
        const QString dir = root.path() + QStringLiteral("/eth0");
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(WriteDescriptor(dir, text));

        const CheckOutcome ok = EvaluateOkBtnClick(CheckSender::OkButton, dir, root.path(), true);
        QCOMPARE(ok.messages, QStringList{okMessage});
        QCOMPARE(ok.question, QString());
        const CheckOutcome reader = EvaluateOpeningCheck(dir, root.path(), true);
        QCOMPARE(reader.accepted(), readerAccepted);
        QCOMPARE(reader.messages, readerAccepted ? QStringList() : QStringList{kInvalidDescriptor});

        if (readerAccepted)
        {
            const TotalsReport report = TotalsWalk::Load(dir, kToday);
            QTEST(report.interfaceName, "interfaceName");
            QTEST(Rows(report.daily), "rows");
        }
        QTEST(Bars(LoadBuckets(dir, Select(2003, 3, HistogramView::Month, Direction::DLUL))), "bars");
    }

    // A nic.inf that is no regular file within 8 MiB is not read, by the opening check nor by the
    // readers: they say why, and a good nic.inf beside it is still read. A FIFO must not block: nothing
    // writes to it here.
    void oddDescriptors_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message"); // %1: the path of nic.inf; empty when it is read
        const QString notRegular = QStringLiteral("Fichier ignoré : %1 n'est pas un fichier ordinaire");
        QTest::newRow("link to a good nic.inf outside the store") << "link" << notRegular;
        QTest::newRow("folder") << "folder" << notRegular;
        QTest::newRow("FIFO without a writer") << "fifo" << notRegular;
        QTest::newRow("one byte over 8 MiB")
            << "over"
            << QStringLiteral("Fichier ignoré : %1 est trop grand (8388609 octets, au plus 8388608 attendus)");
        QTest::newRow("exactly 8 MiB") << "limit" << QString();
        QTest::newRow("good file") << "good" << QString();
    }
    void oddDescriptors()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir root;
        QTemporaryDir outside;
        const QString dir = root.path() + QStringLiteral("/eth0");
        const QString good = root.path() + QStringLiteral("/eth1");
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(QDir().mkpath(good));
        QVERIFY(WriteDescriptor(good, kGood));
        QVERIFY(WriteDescriptor(outside.path(), kGood));
        const QString path = dir + QStringLiteral("/nic.inf");
        QVERIFY(MakeStoreFile(kind, path, kGood, outside.path() + QStringLiteral("/nic.inf"), 8 * 1024 * 1024));
        const bool read = message.isEmpty();
        const QString reason = read ? QString() : message.arg(path);

        const DescriptorRead descriptor = ReadDescriptor(dir);
        QCOMPARE(descriptor.message, reason);
        QCOMPARE(descriptor.contents.has_value(), read);
        QVERIFY(!descriptor.missing());

        const QStringList refused = read ? QStringList() : QStringList{reason, kInvalidDescriptor};
        const CheckOutcome ok = EvaluateOkBtnClick(CheckSender::OkButton, dir, root.path(), true);
        QCOMPARE(ok.messages, read ? QStringList{kOpenEth0} : refused);
        QCOMPARE(ok.question, QString());
        const CheckOutcome reader = EvaluateOpeningCheck(dir, root.path(), true);
        QCOMPARE(reader.accepted(), read);
        QCOMPARE(reader.messages, refused);

        const TotalsReport report = TotalsWalk::Load(dir, kToday);
        QCOMPARE(report.ignoredFiles, read ? QStringList() : QStringList{reason});
        QCOMPARE(report.interfaceName, read ? QStringLiteral("eth0") : QStringLiteral("ERR"));
        QCOMPARE(Rows(report.daily), read ? kGoodRows : QString());
        QCOMPARE(Bars(LoadBuckets(dir, Select(2003, 3, HistogramView::Month, Direction::DLUL))),
                 read ? kGoodBars : QString());

        QCOMPARE(Rows(TotalsWalk::Load(good, kToday).daily), kGoodRows);
        QCOMPARE(ReadAll(outside.path() + QStringLiteral("/nic.inf")), kGood);
    }

    // The totals read nic.inf's bytes where they stand; what they show is what the same lines give when
    // read as the texts "key=value" of the parsed file.
    void totalsOfTheBytesAsOfTheLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        const QByteArray good = Join(kData.mid(1));
        QTest::newRow("section and key names in another case")
            << Join(QByteArrayList{"[vorp db]", "IfName=eth0", "[DATA]"}) + good;
        QTest::newRow("only the first data section")
            << Join(kHeader + kData + QByteArrayList{"[other]", "[data]", "37691D=9", "37691U=9"});
        QTest::newRow("a letter that is not ASCII, a five-digit key")
            << Join(kHeader + QByteArrayList{"[data]", "37690\xC3\x89=5", "37690D=100", "37690=7", "37690U=200",
                                             "37691\xC3\xA9=1", "37691\xC3\xA9=2"});
        QTest::newRow("amounts only the general parse reads")
            << Join(kHeader + QByteArrayList{"[data]", "37690D=1e3", "37690U=+5", "37691D=1,5", "37691U=-7",
                                             "37692D=1234567890123456789", "37692U=0x10", "37693D=00012",
                                             "37693U=\xEF\xBC\x91", "37694D=", "37694U=1 2"});
        const QByteArray markedKey = QByteArray("\xEF\xBB\xBF") + "37691D=5";
        QTest::newRow("blanks around keys and values, a byte order mark in a key")
            << Join(kHeader +
                    QByteArrayList{"[data]", " 37690D \t= 100 ", "37690U=200", markedKey, "37691D=300", "37691U=400"});
        QTest::newRow("no data section") << Join(kHeader);
        QTest::newRow("no ifname") << Join(kHeader.first(3) + kData);
    }
    void totalsOfTheBytesAsOfTheLines()
    {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        QVERIFY(WriteDescriptor(dir.path(), text));
        const DescriptorRead lines = ReadDescriptor(dir.path());
        QVERIFY(lines.contents.has_value());
        const TotalsReport expected = TotalsWalk::Compute(
            lines.contents->dataLines, lines.contents->ifname.value_or(QStringLiteral("ERR")), kToday);
        const TotalsReport report = TotalsWalk::Load(dir.path(), kToday);
        QCOMPARE(report.interfaceName, expected.interfaceName);
        QCOMPARE(report.pairs, expected.pairs);
        QCOMPARE(Rows(report.daily), Rows(expected.daily));
        QCOMPARE(Rows(report.monthly), Rows(expected.monthly));
        for (const auto group : {&TotalsReport::today, &TotalsReport::forecast, &TotalsReport::sinceFirstDay})
            QCOMPARE((QStringList{(report.*group).received, (report.*group).sent, (report.*group).both}),
                     (QStringList{(expected.*group).received, (expected.*group).sent, (expected.*group).both}));
        QCOMPARE(report.sinceFirstDayCaption, expected.sinceFirstDayCaption);
    }

    // 50000 days of one received and two sent bytes, from day 10000 (18 May 1927) to day 59999.
    void hundredThousandDataLines()
    {
        QByteArray text = Join(kHeader) + "[data]\r\n";
        for (int day = 10000; day < 60000; ++day)
        {
            const QByteArray key = QByteArray::number(day);
            text += key + "D=1\r\n" + key + "U=2\r\n";
        }
        QTemporaryDir dir;
        QVERIFY(WriteDescriptor(dir.path(), text));

        QVERIFY(EvaluateOpeningCheck(dir.path(), QString(), true).accepted());
        const TotalsReport r = TotalsWalk::Load(dir.path(), kToday);
        QCOMPARE(r.pairs, 50000);
        QCOMPARE(r.daily.size(), size_t(50000));
        QCOMPARE(r.daily.front().label, QStringLiteral("18/05/1927"));
        QCOMPARE(r.sinceFirstDayCaption, QStringLiteral("Transferts depuis le 18/5/1927"));
        // 50000 and 100000 bytes: 48,828 and 97,656 Ko, cut to hundredths; together 146,484 Ko.
        QCOMPARE(r.sinceFirstDay.received, QStringLiteral("48,82Ko"));
        QCOMPARE(r.sinceFirstDay.sent, QStringLiteral("97,65Ko"));
        QCOMPARE(r.sinceFirstDay.both, QStringLiteral("146,48Ko"));
        // Today, 11 March 2003, is one of the days; its group keeps the unit of the last row.
        QCOMPARE(r.today.received, QStringLiteral("1 octets"));

        // One received byte a day: each month of 2003 sums to its length.
        QCOMPARE(Bars(LoadBuckets(dir.path(), Select(2003, 1, HistogramView::Year, Direction::DL))),
                 QStringLiteral("1:31 2:28 3:31 4:30 5:31 6:30 7:31 8:31 9:30 10:31 11:30 12:31"));
    }
};

QTEST_GUILESS_MAIN(TestDamagedDescriptor)
#include "tst_damageddescriptor.moc"
