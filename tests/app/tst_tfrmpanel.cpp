#include <QApplication>

#include "common/BenchPairs.h"
#include "common/PaintCounter.h"
#include "common/PtyPair.h"
#include "common/TestMain.h"

#include "app/DigitImages.h"
#include "app/TfrmPanel.h"
#include "meter/MeterLink.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QToolButton>

#include <memory>

namespace {
using Digits = std::array<int, 4>;
constexpr int Blank = 10;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

MeterReading decode(const QByteArray& frame)
{
    return decodeFrame(reinterpret_cast<const std::uint8_t*>(frame.constData()));
}

// 02 18 E1 02 BC 02 BC 00 00 00 00 09 41 07 03: A, FAST, range 1, 70.0 dB.
MeterReading sampleReading()
{
    return decode(hex("02 18 E1 02 BC 02 BC 00 00 00 00 09 41 07 03"));
}

// A frame with the same value in every value field, so that the display
// value does not depend on the MAX/MIN selection.
MeterReading reading(std::uint8_t flagsA, std::uint8_t flagsB, int levelTenths, int displayTenths,
                     std::array<std::uint8_t, 3> clock = {0x09, 0x41, 0x07})
{
    QByteArray f = hex("02 00 E0 00 00 00 00 00 00 00 00 00 00 00 03");
    f[1] = char(flagsA);
    f[2] = char(flagsB);
    f[3] = char(levelTenths >> 8);
    f[4] = char(levelTenths & 0xFF);
    for (int at : {5, 7, 9}) {
        f[at] = char(displayTenths >> 8);
        f[at + 1] = char(displayTenths & 0xFF);
    }
    f[11] = char(clock[0]);
    f[12] = char(clock[1]);
    f[13] = char(clock[2]);
    return decode(f);
}

QLabel* label(TfrmPanel& panel, const char* name)
{
    auto* found = panel.findChild<QLabel*>(QLatin1String(name));
    if (!found)
        qFatal("no element %s", name);
    return found;
}

QWidget* element(TfrmPanel& panel, const char* name)
{
    auto* found = panel.findChild<QWidget*>(QLatin1String(name));
    if (!found)
        qFatal("no element %s", name);
    return found;
}

bool shown(TfrmPanel& panel, const char* name)
{
    return !element(panel, name)->isHidden();
}

// The digit image index each MainDn shows, -1 for a picture that is none of
// the digit images.
Digits shownDigits(TfrmPanel& panel, const DigitImages& images)
{
    Digits result{};
    const char* names[] = {"MainD1", "MainD2", "MainD3", "MainD4"};
    for (int place = 0; place < 4; ++place) {
        const qint64 key = label(panel, names[place])->pixmap().cacheKey();
        result[place] = -1;
        for (int i = 0; i < DigitImages::Count; ++i) {
            if (images.at(i).cacheKey() == key) {
                result[place] = i;
                break;
            }
        }
    }
    return result;
}

// Counts what makes a widget draw again: paints, shows, hides, resizes.
class RedrawCounter : public QObject
{
public:
    explicit RedrawCounter(QWidget& root)
    {
        root.installEventFilter(this);
        for (QWidget* child : root.findChildren<QWidget*>())
            child->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Paint:
        case QEvent::UpdateRequest:
        case QEvent::UpdateLater:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Resize:
        case QEvent::Move:
            ++count;
            break;
        default:
            break;
        }
        return false;
    }
};

// A panel with the things the main window gives it.
struct PanelHost
{
    PanelHost()
    {
        if (!digits.load())
            qFatal("digit images missing");
        maxMinTimer.setInterval(500);
        panel = new TfrmPanel(link, digits, maxMinTimer);
        QObject::connect(&maxMinTimer, &QTimer::timeout, panel, &TfrmPanel::MaxMinTimerTimer);
    }
    ~PanelHost() { delete panel; }

    MeterLink link;
    DigitImages digits;
    QTimer maxMinTimer;
    QPointer<TfrmPanel> panel;
};

// A virtual meter found and connected on its pseudo-terminal, with the
// panel receiving its frames.
struct ConnectedPanel
{
    explicit ConnectedPanel(vmeter::MeterModel model = vmeter::MeterModel::Model842)
        : meter(options(model))
    {
        if (!meter.start())
            qFatal("virtual meter: %s", qPrintable(meter.errorString()));
        host.link.setPortList({meter.slavePath()});
        host.link.connectAtStartUp(0, 842);
        host.link.setPanel(host.panel);
        host.panel->setModel(host.link.MeterModel());
    }
    ~ConnectedPanel() { host.link.setPanel(nullptr); }

    static vmeter::VirtualMeterOptions options(vmeter::MeterModel model)
    {
        vmeter::VirtualMeterOptions o;
        o.fast = true;
        o.protocol.model = model;
        o.protocol.idReply = model == vmeter::MeterModel::Model841 ? "0841" : "0842";
        return o;
    }

    // The key letters the meter received, without the stream's own letters.
    QByteArray keyLetters() const
    {
        QByteArray letters;
        for (const auto& record : meter.receivedFrames()) {
            const char letter = record.bytes.size() == 8 ? record.bytes[1] : '?';
            if (!QByteArray("aAXK").contains(letter))
                letters.append(letter);
        }
        return letters;
    }

    vmeter::VirtualMeter meter;
    PanelHost host;
};

void pressAt(QWidget* target, const QPoint& local, const QPoint& global, QEvent::Type type)
{
    QMouseEvent event(type, local, global, Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
} // namespace

class TestTfrmPanel : public QObject
{
    Q_OBJECT

private slots:
    void digitImagesLoad()
    {
        DigitImages images;
        QVERIFY(images.load());
        for (int i = 0; i < DigitImages::Count; ++i) {
            QCOMPARE(images.at(i).size(), QSize(17, 28));
            for (int j = 0; j < i && i <= Blank; ++j)
                QVERIFY2(images.at(i).toImage() != images.at(j).toImage(),
                         qPrintable(QString::number(i)));
        }
        QVERIFY(images.at(16).isNull());
        QVERIFY(images.at(-1).isNull());
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("imgPanel") << "imgPanel" << QRect(-1, 0, 190, 469);
        QTest::newRow("MainD1") << "MainD1" << QRect(51, 112, 17, 28);
        QTest::newRow("MainD2") << "MainD2" << QRect(69, 112, 17, 28);
        QTest::newRow("MainD3") << "MainD3" << QRect(86, 112, 17, 28);
        QTest::newRow("MainD4") << "MainD4" << QRect(108, 112, 17, 28);
        QTest::newRow("imgPoint") << "imgPoint" << QRect(103, 133, 5, 5);
        QTest::newRow("imgUNDER") << "imgUNDER" << QRect(37, 66, 24, 9);
        QTest::newRow("imgOVER") << "imgOVER" << QRect(130, 66, 20, 9);
        QTest::newRow("imgBAT") << "imgBAT" << QRect(41, 131, 10, 7);
        QTest::newRow("imgAutoOff") << "imgAutoOff" << QRect(44, 123, 7, 7);
        QTest::newRow("img841Bottom") << "img841Bottom" << QRect(21, 307, 144, 154);
        QTest::newRow("imgMask1") << "imgMask1" << QRect(57, 31, 100, 11);
        QTest::newRow("btnPower") << "btnPower" << QRect(36, 194, 41, 25);
        QTest::newRow("btnAC") << "btnAC" << QRect(108, 194, 41, 25);
        QTest::newRow("btnMaxMin") << "btnMaxMin" << QRect(33, 255, 48, 25);
        QTest::newRow("btnFast") << "btnFast" << QRect(108, 255, 44, 25);
        QTest::newRow("btnREC") << "btnREC" << QRect(33, 311, 48, 30);
        QTest::newRow("btnLevel") << "btnLevel" << QRect(105, 311, 48, 30);
        QTest::newRow("SpeedButton1") << "SpeedButton1" << QRect(127, 8, 16, 14);
        QTest::newRow("SpeedButton2") << "SpeedButton2" << QRect(144, 8, 16, 14);
        // Labels: only where they start.
        QTest::newRow("lblRangeLow") << "lblRangeLow" << QRect(40, 89, 0, 0);
        QTest::newRow("lblRangeHigh") << "lblRangeHigh" << QRect(139, 89, 0, 0);
        QTest::newRow("lblMAX") << "lblMAX" << QRect(63, 64, 0, 0);
        QTest::newRow("lblMIN") << "lblMIN" << QRect(83, 64, 0, 0);
        QTest::newRow("lblFAST") << "lblFAST" << QRect(101, 64, 0, 0);
        QTest::newRow("lbldBA") << "lbldBA" << QRect(130, 119, 0, 0);
        QTest::newRow("lblREC") << "lblREC" << QRect(37, 109, 0, 0);
        QTest::newRow("lblTime") << "lblTime" << QRect(63, 98, 0, 0);
        QTest::newRow("lblSegTIME") << "lblSegTIME" << QRect(116, 98, 0, 0);
        QTest::newRow("lblNoConnection") << "lblNoConnection" << QRect(40, 62, 0, 0);
    }

    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        PanelHost host;
        QCOMPARE(host.panel->size(), QSize(190, 471));
        QCOMPARE(host.panel->minimumSize(), host.panel->maximumSize());
        QCOMPARE(host.panel->windowTitle(), QStringLiteral("Control Panel"));
        const QWidget* w = element(*host.panel, qPrintable(name));
        if (geometry.size().isNull())
            QCOMPARE(w->pos(), geometry.topLeft());
        else
            QCOMPARE(w->geometry(), geometry);
    }

    void hintsAndFonts()
    {
        PanelHost host;
        TfrmPanel& p = *host.panel;
        QCOMPARE(element(p, "btnPower")->toolTip(), QStringLiteral("Close Control Panel"));
        QCOMPARE(element(p, "btnAC")->toolTip(),
                 QStringLiteral("Frequency Weighting select button"));
        QCOMPARE(element(p, "btnMaxMin")->toolTip(),
                 QStringLiteral(
                     "single click to change MAX/MIN mode, mouse down 2 seconds  to cancel ."));
        QCOMPARE(element(p, "btnFast")->toolTip(), QStringLiteral("Time weighting select button"));
        QVERIFY(element(p, "btnREC")->toolTip().isEmpty());
        QVERIFY(element(p, "btnLevel")->toolTip().isEmpty());

        QCOMPARE(label(p, "lblRangeLow")->font().pixelSize(), 9);
        QCOMPARE(label(p, "lblRangeHigh")->font().pixelSize(), 9);
        QVERIFY(label(p, "lblMAX")->font().bold());
        QVERIFY(label(p, "lblMIN")->font().bold());
        const QLabel* noConnection = label(p, "lblNoConnection");
        QCOMPARE(noConnection->text(), QStringLiteral("No Connection"));
        QCOMPARE(noConnection->font().pixelSize(), 16);
        QVERIFY(noConnection->font().bold());
        QCOMPARE(noConnection->palette().color(QPalette::WindowText), QColor(Qt::red));
    }

    void initialState()
    {
        PanelHost host;
        TfrmPanel& p = *host.panel;
        QCOMPARE(label(p, "lblRangeLow")->text(), QStringLiteral("30"));
        QCOMPARE(label(p, "lblRangeHigh")->text(), QStringLiteral("80"));
        for (const char* hidden : {"lblMAX", "lblMIN", "imgUNDER", "imgOVER", "imgBAT",
                                   "imgAutoOff", "img841Bottom", "imgMask1"})
            QVERIFY2(!shown(p, hidden), hidden);
        QVERIFY(shown(p, "lblNoConnection")); // no meter connected
        QVERIFY(shown(p, "lblTime"));
        QVERIFY(shown(p, "lblSegTIME"));
    }

    void sampleFrameOnModel842()
    {
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.renderReading(sampleReading());
        QCOMPARE(shownDigits(p, host.digits), (Digits{Blank, 7, 0, 0}));
        QCOMPARE(label(p, "lbldBA")->text(), QStringLiteral("dBA"));
        QCOMPARE(label(p, "lblFAST")->text(), QStringLiteral("FAST"));
        QCOMPARE(label(p, "lblRangeLow")->text(), QStringLiteral("50"));
        QCOMPARE(label(p, "lblRangeHigh")->text(), QStringLiteral("100"));
        QCOMPARE(element(p, "imgColorBar")->width(), 41);
        QCOMPARE(element(p, "imgColorBar")->height(), 8);
        QCOMPARE(label(p, "lblREC")->text(), QString());
        QCOMPARE(label(p, "lblTime")->text(), QStringLiteral("09:41:06"));
        for (const char* hidden :
             {"lblMAX", "lblMIN", "imgUNDER", "imgOVER", "imgBAT", "imgAutoOff"})
            QVERIFY2(!shown(p, hidden), hidden);
        QVERIFY(!host.maxMinTimer.isActive());
    }

    void digits_data()
    {
        QTest::addColumn<int>("tenths");
        QTest::addColumn<Digits>("digits");
        QTest::newRow("1234") << 1234 << Digits{1, 2, 3, 4};
        QTest::newRow("999") << 999 << Digits{Blank, 9, 9, 9};
        QTest::newRow("2345 shows no thousands") << 2345 << Digits{Blank, 3, 4, 5};
        QTest::newRow("1034") << 1034 << Digits{1, 0, 3, 4};
        QTest::newRow("456") << 456 << Digits{Blank, 4, 5, 6};
        QTest::newRow("0") << 0 << Digits{Blank, 0, 0, 0};
        QTest::newRow("10999") << 10999 << Digits{Blank, 9, 9, 9};
        QTest::newRow("11000 keeps 70.0") << 11000 << Digits{Blank, 7, 0, 0};
        QTest::newRow("65535 keeps 70.0") << 65535 << Digits{Blank, 7, 0, 0};
    }

    void digits()
    {
        QFETCH(int, tenths);
        QFETCH(Digits, digits);
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.renderReading(sampleReading());
        p.renderReading(reading(0x18, 0xE1, 700, tenths));
        QCOMPARE(shownDigits(p, host.digits), digits);
    }

    // After a value too large to show, the same value as before is drawn
    // again: the remembered value is the large one.
    void valueAfterTooLargeValue()
    {
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.renderReading(reading(0x18, 0xE1, 700, 1234));
        p.renderReading(reading(0x18, 0xE1, 700, 11000));
        QCOMPARE(shownDigits(p, host.digits), (Digits{1, 2, 3, 4}));
        p.renderReading(reading(0x18, 0xE1, 700, 567));
        QCOMPARE(shownDigits(p, host.digits), (Digits{Blank, 5, 6, 7}));
    }

    void bar_data()
    {
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("levelTenths");
        QTest::addColumn<int>("width");
        QTest::newRow("range 3, 130.0 dB") << 3 << 1300 << 81;
        QTest::newRow("range 0, 100.0 dB, limited") << 0 << 1000 << 101;
        QTest::newRow("range 2, 60.0 dB, below") << 2 << 600 << 0;
        QTest::newRow("range 1, 70.0 dB") << 1 << 700 << 41;
        QTest::newRow("range 1, 75.9 dB truncated") << 1 << 759 << 51;
        QTest::newRow("range 0, 30.0 dB") << 0 << 300 << 1;
        QTest::newRow("range 3, 49.0 dB rounds toward zero") << 3 << 490 << 1;
        QTest::newRow("range 3, 47.0 dB") << 3 << 470 << 0;
    }

    void bar()
    {
        QFETCH(int, range);
        QFETCH(int, levelTenths);
        QFETCH(int, width);
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.renderReading(reading(0x18, std::uint8_t(0xE0 | range), levelTenths, 500));
        QWidget* bar = element(p, "imgColorBar");
        QCOMPARE(bar->width(), width);
        if (width == 0)
            return;
        // The left part of the picture, unscaled.
        const QImage picture = QImage(QStringLiteral(":/panel/colorbar.png"))
                                   .copy(0, 0, width, 8)
                                   .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(bar->grab().toImage().convertToFormat(QImage::Format_RGB32), picture);
    }

    void clock_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("one second less") << 842 << hex("09 41 07") << "09:41:06";
        QTest::newRow("across the minute") << 842 << hex("12 00 00") << "11:59:59";
        QTest::newRow("midnight") << 842 << hex("00 00 00") << "23:59:59";
        QTest::newRow("not BCD shown as received") << 842 << hex("0A 41 07") << "0A:41:07";
        QTest::newRow("hour 24 shown as received") << 842 << hex("24 00 01") << "24:00:01";
        QTest::newRow("841 has no clock") << 841 << hex("09 41 07") << "";
    }

    void clock()
    {
        QFETCH(int, model);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        PanelHost host;
        host.link.setMeterModel(model);
        host.panel->setModel(model);
        host.panel->renderReading(
            reading(0x18, 0xE1, 700, 700,
                    {std::uint8_t(bytes[0]), std::uint8_t(bytes[1]), std::uint8_t(bytes[2])}));
        QCOMPARE(label(*host.panel, "lblTime")->text(), shown);
    }

    // The clock follows its seconds byte only.
    void clockChangesWithItsSeconds()
    {
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.renderReading(reading(0x18, 0xE1, 700, 700, {0x09, 0x41, 0x07}));
        p.renderReading(reading(0x18, 0xE1, 700, 700, {0x09, 0x42, 0x07}));
        QCOMPARE(label(p, "lblTime")->text(), QStringLiteral("09:41:06"));
        p.renderReading(reading(0x18, 0xE1, 700, 700, {0x09, 0x42, 0x08}));
        QCOMPARE(label(p, "lblTime")->text(), QStringLiteral("09:42:07"));
    }

    void annunciators_data()
    {
        QTest::addColumn<int>("flagsA");
        QTest::addColumn<int>("flagsB");
        QTest::addColumn<QStringList>("texts"); // REC, FAST, dBA, low, high
        QTest::addColumn<QStringList>("visible");
        QTest::newRow("recording")
            << 0x19 << 0xE1 << QStringList{"REC", "FAST", "dBA", "50", "100"} << QStringList{};
        QTest::newRow("memory full")
            << 0x18 << 0xF1 << QStringList{"FULL", "FAST", "dBA", "50", "100"} << QStringList{};
        QTest::newRow("recording wins over full")
            << 0x19 << 0xF1 << QStringList{"REC", "FAST", "dBA", "50", "100"} << QStringList{};
        QTest::newRow("SLOW, dBC, range 0")
            << 0x00 << 0xE0 << QStringList{"", "SLOW", "dBC", "30", "80"} << QStringList{};
        QTest::newRow("range 2") << 0x18 << 0xE2 << QStringList{"", "FAST", "dBA", "80", "130"}
                                 << QStringList{};
        QTest::newRow("range 3") << 0x18 << 0xE3 << QStringList{"", "FAST", "dBA", "30", "130"}
                                 << QStringList{};
        QTest::newRow("battery") << 0x38 << 0xE1 << QStringList{"", "FAST", "dBA", "50", "100"}
                                 << QStringList{"imgBAT"};
        QTest::newRow("under and over")
            << 0xD8 << 0xE1 << QStringList{"", "FAST", "dBA", "50", "100"}
            << QStringList{"imgUNDER", "imgOVER"};
        QTest::newRow("MAX") << 0x1C << 0xE5 << QStringList{"", "FAST", "dBA", "50", "100"}
                             << QStringList{"lblMAX"};
        QTest::newRow("MIN") << 0x1C << 0xE9 << QStringList{"", "FAST", "dBA", "50", "100"}
                             << QStringList{"lblMIN"};
        QTest::newRow("selection without MAX/MIN mode")
            << 0x18 << 0xE5 << QStringList{"", "FAST", "dBA", "50", "100"} << QStringList{};
    }

    void annunciators()
    {
        QFETCH(int, flagsA);
        QFETCH(int, flagsB);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, visible);
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.renderReading(sampleReading());
        p.renderReading(reading(std::uint8_t(flagsA), std::uint8_t(flagsB), 700, 700));
        QCOMPARE(label(p, "lblREC")->text(), texts[0]);
        QCOMPARE(label(p, "lblFAST")->text(), texts[1]);
        QCOMPARE(label(p, "lbldBA")->text(), texts[2]);
        QCOMPARE(label(p, "lblRangeLow")->text(), texts[3]);
        QCOMPARE(label(p, "lblRangeHigh")->text(), texts[4]);
        for (const char* name : {"imgBAT", "imgUNDER", "imgOVER", "lblMAX", "lblMIN"})
            QVERIFY2(shown(p, name) == visible.contains(QLatin1String(name)), name);
        QVERIFY(!shown(p, "imgAutoOff"));
    }

    void blinkOnAlternatingSelection()
    {
        PanelHost host;
        TfrmPanel& p = *host.panel;
        QList<std::pair<bool, bool>> phases;
        connect(&host.maxMinTimer, &QTimer::timeout, this, [&] {
            phases.append({shown(p, "lblMAX"), shown(p, "lblMIN")});
        });

        p.renderReading(reading(0x1C, 0xED, 700, 700));
        QVERIFY(host.maxMinTimer.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(phases.size() >= 4, 5000);
        bool on = false, off = false;
        for (const auto& [max, min] : phases) {
            QCOMPARE(max, min);
            (max ? on : off) = true;
        }
        QVERIFY(on && off);

        // An unchanged frame leaves the blink running.
        p.renderReading(reading(0x1C, 0xED, 700, 700));
        QVERIFY(host.maxMinTimer.isActive());

        p.renderReading(reading(0x1C, 0xE5, 700, 700));
        QVERIFY(!host.maxMinTimer.isActive());
        QVERIFY(shown(p, "lblMAX"));
        QVERIFY(!shown(p, "lblMIN"));
    }

    void modelDependentParts_data()
    {
        QTest::addColumn<int>("model");
        QTest::newRow("841") << 841;
        QTest::newRow("842") << 842;
    }

    void modelDependentParts()
    {
        QFETCH(int, model);
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.renderReading(reading(0x19, 0xE1, 700, 700));
        QCOMPARE(label(p, "lblREC")->text(), QStringLiteral("REC"));
        p.setModel(model);
        QCOMPARE(shown(p, "img841Bottom"), model == 841);
        QCOMPARE(shown(p, "imgMask1"), model == 841);
        QCOMPARE(shown(p, "lblSegTIME"), model == 842);
        QCOMPARE(shown(p, "lblTime"), model == 842);
        QCOMPARE(label(p, "lblREC")->text(), QString());
    }

    void noConnectionLabel()
    {
        PanelHost host;
        host.panel->setNoConnectionVisible(false);
        QVERIFY(!shown(*host.panel, "lblNoConnection"));
        host.panel->setNoConnectionVisible(true);
        QVERIFY(shown(*host.panel, "lblNoConnection"));
    }

    // Closing the panel and creating it again redraws everything from the
    // next frame, even one equal to the last frame before the close.
    void recreatedPanelRedrawsEverything()
    {
        PanelHost host;
        QSignalSpy closed(host.panel.data(), &TfrmPanel::closed);
        const MeterReading r = reading(0xF9, 0xF2, 1000, 1234, {0x10, 0x20, 0x30});
        host.panel->renderReading(r);
        host.panel->close();
        QCOMPARE(closed.size(), 1);
        QTRY_VERIFY(host.panel.isNull());

        host.panel = new TfrmPanel(host.link, host.digits, host.maxMinTimer);
        host.panel->setForceRefresh();
        TfrmPanel& p = *host.panel;
        p.renderReading(r);
        QCOMPARE(shownDigits(p, host.digits), (Digits{1, 2, 3, 4}));
        QCOMPARE(label(p, "lblREC")->text(), QStringLiteral("REC"));
        QCOMPARE(label(p, "lblFAST")->text(), QStringLiteral("FAST"));
        QCOMPARE(label(p, "lbldBA")->text(), QStringLiteral("dBA"));
        QCOMPARE(label(p, "lblRangeLow")->text(), QStringLiteral("80"));
        QCOMPARE(label(p, "lblRangeHigh")->text(), QStringLiteral("130"));
        QCOMPARE(label(p, "lblTime")->text(), QStringLiteral("10:20:29"));
        QCOMPARE(element(p, "imgColorBar")->width(), 41);
        for (const char* name : {"imgBAT", "imgUNDER", "imgOVER"})
            QVERIFY2(shown(p, name), name);
    }

    // The force flag on a living panel: digits come back even if something
    // else drew over them.
    void forceRefreshRedrawsDigits()
    {
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.renderReading(sampleReading());
        label(p, "MainD2")->setPixmap(host.digits.at(13));
        p.renderReading(sampleReading());
        QCOMPARE(shownDigits(p, host.digits), (Digits{Blank, 13, 0, 0}));
        p.setForceRefresh();
        p.renderReading(sampleReading());
        QCOMPARE(shownDigits(p, host.digits), (Digits{Blank, 7, 0, 0}));
    }

    void unchangedFrameTouchesNoWidget()
    {
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        p.renderReading(sampleReading());
        QTest::qWait(50);

        RedrawCounter redraws(p);
        for (int i = 0; i < 10; ++i)
            p.renderReading(sampleReading());
        QCoreApplication::processEvents();
        QTest::qWait(50);
        QCOMPARE(redraws.count, 0);

        // The counter does see a change.
        p.renderReading(reading(0x18, 0xE1, 710, 710, {0x09, 0x41, 0x08}));
        QTest::qWait(50);
        QVERIFY(redraws.count > 0);
    }

    // A frame that changes every element, rendered and painted as the event
    // loop paints it, beside a frame that changes nothing with the same
    // event processing. A counter of paint events checks that every changed
    // frame painted.
    void benchmarkChangedFrame()
    {
        if (qEnvironmentVariableIsEmpty("AUDIMARK_BENCH"))
            QSKIP("set AUDIMARK_BENCH=1 to measure");
        PanelHost host;
        TfrmPanel& p = *host.panel;
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        const MeterReading a = reading(0x19, 0xE1, 700, 700, {0x09, 0x41, 0x07});
        const MeterReading b = reading(0xE4, 0xF6, 1234, 1234, {0x09, 0x41, 0x08});
        p.renderReading(a);
        BenchPairs::paintPending();
        BenchPairs::PaintCounter painted(&p);
        bool flip = false;
        bool everyFramePainted = true;
        const BenchPairs::Figures f = BenchPairs::timeInTurn(
            [&] {
                everyFramePainted &= BenchPairs::changeAndPaint(painted, [&] {
                    flip = !flip;
                    p.renderReading(flip ? b : a);
                });
            },
            [&] {
                p.renderReading(flip ? b : a);
                BenchPairs::paintPending();
            },
            100);
        QVERIFY2(everyFramePainted, "a changed frame ended without its paint");
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        BenchPairs::report("changed frame rendered + painted", "unchanged frame", f);
        // 15 bytes of 10 bits each at 9600 baud.
        constexpr double FrameOnWireMs = 15 * 10 * 1000.0 / 9600;
        qInfo("a changed frame costs %.2f %% of the %.1f ms a frame takes on the wire",
              100.0 * f.oursMs / FrameOnWireMs, FrameOnWireMs);
    }

    // ---- Keys on the wire ------------------------------------------------

    void keysSendTheirLetters_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("letter");
        QTest::newRow("FAST/SLOW") << 842 << "btnFast" << QByteArray("F");
        QTest::newRow("A/C") << 842 << "btnAC" << QByteArray("C");
        QTest::newRow("LEVEL") << 842 << "btnLevel" << QByteArray("l");
        QTest::newRow("REC on 842") << 842 << "btnREC" << QByteArray("E");
        QTest::newRow("REC on 841") << 841 << "btnREC" << QByteArray("L");
    }

    void keysSendTheirLetters()
    {
        QFETCH(int, model);
        QFETCH(QString, key);
        QFETCH(QByteArray, letter);
        ConnectedPanel c(model == 841 ? vmeter::MeterModel::Model841
                                      : vmeter::MeterModel::Model842);
        QVERIFY(c.host.link.MeterConnected());
        QCOMPARE(c.host.link.MeterModel(), model);
        QWidget* area = element(*c.host.panel, qPrintable(key));
        QTest::mouseClick(area, Qt::LeftButton, {}, area->rect().center());
        QTRY_COMPARE(c.keyLetters(), letter);
        const CommandFrame expected(letter[0]);
        bool onWire = false;
        for (const auto& record : c.meter.receivedFrames())
            onWire = onWire || record.bytes == expected.toByteArray();
        QVERIFY(onWire);
    }

    // The meter answers the key, and the panel shows what the meter shows.
    void fastKeyRoundTrip()
    {
        ConnectedPanel c;
        QTRY_COMPARE(label(*c.host.panel, "lblFAST")->text(), QStringLiteral("FAST"));
        QWidget* area = element(*c.host.panel, "btnFast");
        QTest::mouseClick(area, Qt::LeftButton, {}, area->rect().center());
        QTRY_COMPARE(label(*c.host.panel, "lblFAST")->text(), QStringLiteral("SLOW"));
    }

    void maxMinShortPressSendsM()
    {
        ConnectedPanel c;
        QWidget* key = element(*c.host.panel, "btnMaxMin");
        QTest::mousePress(key, Qt::LeftButton, {}, key->rect().center());
        QTest::qWait(1500);
        QCOMPARE(c.keyLetters(), QByteArray());
        QTest::mouseRelease(key, Qt::LeftButton, {}, key->rect().center());
        QTRY_COMPARE(c.keyLetters(), QByteArray("M"));
        // The long-press timer was stopped: nothing follows at three seconds.
        QTest::qWait(2000);
        QCOMPARE(c.keyLetters(), QByteArray("M"));
    }

    void maxMinLongPressSendsN()
    {
        ConnectedPanel c;
        QWidget* key = element(*c.host.panel, "btnMaxMin");
        QTest::mousePress(key, Qt::LeftButton, {}, key->rect().center());
        QTest::qWait(2000);
        QCOMPARE(c.keyLetters(), QByteArray());
        QTRY_COMPARE_WITH_TIMEOUT(c.keyLetters(), QByteArray("N"), 3000);
        QTest::qWait(300);
        QTest::mouseRelease(key, Qt::LeftButton, {}, key->rect().center());
        QTest::qWait(300);
        QCOMPARE(c.keyLetters(), QByteArray("N"));
    }

    void maxMinWithoutMeterShowsNoConnection()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        PanelHost host;
        host.link.setPortList({pty.slavePath()});
        host.link.startLiveLink();
        host.link.MainTimer().stop();
        QCOMPARE(pty.readMaster(8), CommandFrame('a').toByteArray());
        QVERIFY(!host.link.MeterConnected());

        QWidget* key = element(*host.panel, "btnMaxMin");
        QTest::mousePress(key, Qt::LeftButton, {}, key->rect().center());
        QTest::mouseRelease(key, Qt::LeftButton, {}, key->rect().center());
        QMessageBox* box = nullptr;
        QTRY_VERIFY((box = host.panel->findChild<QMessageBox*>()) && box->isVisible());
        QCOMPARE(box->text(), QStringLiteral("No Connection"));
        box->accept();
        // The long-press timer runs out without sending anything.
        QTest::qWait(3300);
        QCOMPARE(pty.readAvailable(), QByteArray());
    }

    // ---- The window ------------------------------------------------------

    void facesAndDigitsMoveTheSubwindow_data()
    {
        QTest::addColumn<QString>("grip");
        QTest::addColumn<bool>("moves");
        QTest::newRow("face") << "imgPanel" << true;
        QTest::newRow("digit") << "MainD3" << true;
        QTest::newRow("key") << "btnFast" << false;
    }

    void facesAndDigitsMoveTheSubwindow()
    {
        QFETCH(QString, grip);
        QFETCH(bool, moves);
        PanelHost host;
        QMdiArea area;
        area.resize(800, 600);
        QMdiSubWindow* sub = area.addSubWindow(host.panel);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QVERIFY(sub->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(sub->size(), QSize(190, 471));
        sub->move(10, 10);

        QWidget* target = element(*host.panel, qPrintable(grip));
        const QPoint local(5, 5);
        const QPoint global(300, 300);
        pressAt(target, local, global, QEvent::MouseButtonPress);
        pressAt(target, local, global + QPoint(20, 7), QEvent::MouseMove);
        pressAt(target, local, global + QPoint(40, 30), QEvent::MouseMove);
        pressAt(target, local, global + QPoint(40, 30), QEvent::MouseButtonRelease);
        QCOMPARE(sub->pos(), moves ? QPoint(50, 40) : QPoint(10, 10));
    }

    void speedButtons()
    {
        PanelHost host;
        QMdiArea area;
        area.resize(800, 600);
        QMdiSubWindow* sub = area.addSubWindow(host.panel);
        QPointer<QMdiSubWindow> subGuard(sub);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QSignalSpy closed(host.panel.data(), &TfrmPanel::closed);

        const QRect normal = sub->geometry();
        host.panel->findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
        QVERIFY(sub->isMinimized());
        // Still on the work area, with a caption bar to restore it from.
        QVERIFY(sub->isVisible());
        QVERIFY(!sub->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!sub->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(sub->height() > 0 && area.rect().contains(sub->geometry()));
        sub->showNormal();
        QVERIFY(sub->isVisible());
        QVERIFY(sub->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(sub->geometry(), normal);
        QCOMPARE(host.panel->size(), TfrmPanel::ClientSize);

        host.panel->findChild<QToolButton*>(QStringLiteral("SpeedButton2"))->click();
        QCOMPARE(closed.size(), 1);
        QTRY_VERIFY(host.panel.isNull());
        QTRY_VERIFY(subGuard.isNull());
    }

    void powerKeyClosesThePanel()
    {
        PanelHost host;
        host.panel->show();
        QSignalSpy closed(host.panel.data(), &TfrmPanel::closed);
        QWidget* key = element(*host.panel, "btnPower");
        QTest::mouseClick(key, Qt::LeftButton, {}, key->rect().center());
        QCOMPARE(closed.size(), 1);
        QTRY_VERIFY(host.panel.isNull());
    }

    void activatingTheSubwindowIsReported()
    {
        PanelHost host;
        QMdiArea area;
        area.resize(800, 600);
        QMdiSubWindow* panelSub = area.addSubWindow(host.panel);
        QMdiSubWindow* other = area.addSubWindow(new QWidget);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QSignalSpy activated(host.panel.data(), &TfrmPanel::activated);
        area.setActiveSubWindow(other);
        activated.clear();
        area.setActiveSubWindow(panelSub);
        QCOMPARE(activated.size(), 1);
    }

    // Pictures for the documentation, when asked for.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("AUDIMARK_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set AUDIMARK_SCREENSHOT_DIR to write the panel pictures");
        for (int model : {842, 841}) {
            PanelHost host;
            host.link.setMeterModel(model);
            TfrmPanel& p = *host.panel;
            p.setModel(model);
            p.setNoConnectionVisible(false);
            p.renderReading(
                reading(model == 842 ? 0x19 : 0x18, 0xE1, 723, 723, {0x14, 0x25, 0x37}));
            p.show();
            QVERIFY(QTest::qWaitForWindowExposed(&p));
            QVERIFY(p.grab().save(QStringLiteral("%1/panel-%2.png").arg(dir).arg(model)));
        }
    }
};

AUDIMARK_TEST_MAIN_GUI(TestTfrmPanel)
#include "tst_tfrmpanel.moc"
