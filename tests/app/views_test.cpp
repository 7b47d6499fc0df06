// The record table and log views over their plain models, and the smaller
// dialogs on their own.
#include "app/about_dialog.h"
#include "app/app_font.h"
#include "app/block_range_dialog.h"
#include "app/help_files.h"
#include "app/link_reason_text.h"
#include "app/log_mirror.h"
#include "app/main_window.h"
#include "app/manual_window.h"
#include "app/qt_translation.h"
#include "app/record_table_model.h"
#include "app_test_support.h"
#include "catalogue/catalogue.h"
#include "protocol/exchange.h"
#include "ql_version.h"
#include "serial/com_port_error.h"
#include "support/built_in_registry.h"

#include <QAbstractButton>
#include <QAbstractFileIconProvider>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTranslator>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>

#include <cerrno>
#include <system_error>

class ViewsTest : public QObject {
    Q_OBJECT
private slots:
    void TableModelFollowsColumnsRowsAndClearing();
    void TableModelShowsShortRowsWithEmptyCells();
    void LogMirrorKeepsAHundredThousandLinesInOrder();
    void LogMirrorStartsFromExistingLinesAndFollowsClear();
    void RangeDialogTakesTheKindsBlockCount();
    void MissingHelpFileIsNamed();
    void ManualOpensFromTheHelpMenuWithContentsAndSearch();
    void EveryCaptionCharacterIsDrawnWithInk();
    void QtsOwnButtonsAreChineseFromBesideTheProgramFirst();
    void PortFailuresAreWordedInChinese_data();
    void PortFailuresAreWordedInChinese();
};

namespace {

// The characters of `texts` that `font` (with Qt's fallback) draws without ink,
// each rendered alone as a widget would draw it.
QString drawnBlank(const QFont& font, const QString& texts)
{
    QString blank;
    QSet<char32_t> seen;
    for (const char32_t character : texts.toUcs4()) {
        // "&" only marks a menu's shortcut letter.
        if (QChar::isSpace(character) || character == U'&' || seen.contains(character))
            continue;
        seen.insert(character);
        const QString glyph = QString::fromUcs4(&character, 1);
        QImage image(48, 48, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(image.rect(), Qt::AlignCenter, glyph);
        }
        bool ink = false;
        for (int y = 0; y < image.height() && !ink; ++y)
            for (int x = 0; x < image.width() && !ink; ++x)
                ink = qAlpha(image.pixel(x, y)) != 0;
        if (!ink)
            blank += glyph;
    }
    return blank;
}

} // namespace

void ViewsTest::TableModelFollowsColumnsRowsAndClearing()
{
    RecordTable table;
    RecordTableModel model(table);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    table.setColumns({{"序号", 45}, {"记录时间", 135}});
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("记录时间"));
    table.appendRow({"1", "2024-01-02 03:04:05"});
    table.appendRow({"2", "2024-01-02 04:04:05"});
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("2024-01-02 04:04:05"));
    table.clearRows();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 2);
    table.appendRow({"1", "x"});
    table.setColumns({{"序号", 45}});
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 1);
}

void ViewsTest::TableModelShowsShortRowsWithEmptyCells()
{
    RecordTable table;
    RecordTableModel model(table);
    table.setColumns({{"序号", 45}, {"a", 10}, {"b", 10}});
    table.appendRow({"1"});
    QCOMPARE(model.data(model.index(0, 2)).toString(), QString());
    QVERIFY(!model.data(model.index(5, 0)).isValid());
}

void ViewsTest::LogMirrorKeepsAHundredThousandLinesInOrder()
{
    LogModel log;
    QPlainTextEdit view;
    LogMirror mirror(log, view);
    for (int i = 0; i < 100000; ++i)
        log.appendLine("【发送】" + std::to_string(i));
    QCoreApplication::processEvents();
    mirror.flush();
    QCOMPARE(view.document()->blockCount(), 100000);
    QCOMPARE(view.document()->findBlockByNumber(99999).text(), QStringLiteral("【发送】99999"));
    QCOMPARE(view.document()->findBlockByNumber(0).text(), QStringLiteral("【发送】0"));
}

void ViewsTest::LogMirrorStartsFromExistingLinesAndFollowsClear()
{
    LogModel log;
    log.appendLine("a");
    log.appendLine("b");
    QPlainTextEdit view;
    LogMirror mirror(log, view);
    mirror.flush();
    QCOMPARE(view.toPlainText(), QStringLiteral("a\nb"));
    log.clear();
    mirror.flush();
    QCOMPARE(view.toPlainText(), QString());
    log.appendLine("c");
    mirror.flush();
    QCOMPARE(view.toPlainText(), QStringLiteral("c"));
}

void ViewsTest::RangeDialogTakesTheKindsBlockCount()
{
    BlockRangeDialog range;
    range.prepare(QStringLiteral("月记录200组"), 40);
    QCOMPARE(range.m_endSpin->value(), 40);
    QCOMPARE(range.m_endSpin->maximum(), 40);
    QCOMPARE(range.m_beginSpin->value(), 1);
    range.m_endSpin->setValue(500);
    QCOMPARE(range.endBlock(), 40);
}

void ViewsTest::MissingHelpFileIsNamed()
{
    QTemporaryDir folder;
    ScriptedPrompter prompts;
    openHelpFile(nullptr, prompts, folder.path(), QStringLiteral("说明书.chm"));
    QCOMPARE(prompts.shown.size(), 1);
    QCOMPARE(prompts.shown[0].kind, QStringLiteral("warn"));
    QCOMPARE(prompts.shown[0].caption, QStringLiteral("警告信息"));
    QVERIFY(prompts.shown[0].text.contains(QStringLiteral("说明书.chm")));

    AboutDialog about(prompts, folder.path());
    QCOMPARE(about.windowTitle(), QStringLiteral("关于"));
    QVERIFY(about.findChild<QLabel*>(QStringLiteral("lblSoftware"))->text() ==
            QStringLiteral("软件：QuellonRS485通信软件"));
    QVERIFY(about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text() ==
            QStringLiteral("版本号：") + QString::fromLatin1(kQlVersion));
    // Nothing made up: the licence and where the manual lies, no placeholder contacts.
    QVERIFY(about.m_licenceLabel->text().contains(QStringLiteral("GPL-3.0-or-later")));
    QVERIFY(
        about.m_manualLabel->text().endsWith(QDir::toNativeSeparators(QStringLiteral("manual/index.html"))));
    for (QLabel* label : about.findChildren<QLabel*>())
        QVERIFY2(!label->text().contains(QRegularExpression(QStringLiteral("000000|example\\.com|请填写"))),
                 qPrintable(label->text()));
}

// "使用手册" with the shipped manual beside the program: one window with the
// chapters listed, a click on one scrolls there, and search goes round the text.
// Without the manual the operator is told where it belongs.
void ViewsTest::ManualOpensFromTheHelpMenuWithContentsAndSearch()
{
    SimConfig config;
    config.deviceType = 6;
    WindowRig rig(config);
    MainWindow& frm = rig.createWindow();
    rig.prompts.shown.clear();
    child<QAction>(frm, "H2")->trigger();
    QCOMPARE(rig.prompts.shown.size(), 1);
    QCOMPARE(rig.prompts.shown[0].caption, QStringLiteral("警告信息"));
    QVERIFY(
        rig.prompts.shown[0].text.contains(QDir::toNativeSeparators(QStringLiteral("manual/index.html"))));
    QVERIFY(!frm.findChild<ManualWindow*>());

    const QString manualDir = rig.folder.filePath(QStringLiteral("manual"));
    QVERIFY(QDir().mkpath(manualDir));
    QVERIFY(QFile::copy(QStringLiteral(QL_SOURCE_DIR "/doc/manual/index.html"), manualDir + "/index.html"));
    QVERIFY(QDir().mkpath(manualDir + "/images"));
    QVERIFY(QFile::copy(QStringLiteral(QL_SOURCE_DIR "/doc/manual/images/main-window.png"),
                        manualDir + "/images/main-window.png"));
    child<QAction>(frm, "H2")->trigger();
    child<QAction>(frm, "H2")->trigger();
    QCOMPARE(rig.prompts.shown.size(), 1);
    const QList<ManualWindow*> windows = frm.findChildren<ManualWindow*>();
    QCOMPARE(windows.size(), 1);
    ManualWindow& manual = *windows[0];
    QVERIFY(manual.isVisible());

    // A screenshot wider than the pane is fitted to it, also after a resize.
    const auto shownWidth = [&manual] {
        return manual.m_browser->document()
            ->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("images/main-window.png")))
            .value<QImage>()
            .width();
    };
    for (const int paneWidth : {500, 700}) {
        manual.m_browser->resize(paneWidth, 400);
        QCoreApplication::processEvents();
        QVERIFY2(shownWidth() > 300 && shownWidth() <= manual.m_browser->viewport()->width(),
                 qPrintable(QString::number(shownWidth())));
    }

    QStringList chapters;
    for (int i = 0; i < manual.m_contentsTree->topLevelItemCount(); ++i)
        chapters << manual.m_contentsTree->topLevelItem(i)->text(0);
    QCOMPARE(chapters.size(), 8);
    QVERIFY(chapters.at(6).contains(QStringLiteral("故障排除")));
    QVERIFY(chapters.last().contains(QStringLiteral("Windows")));
    QVERIFY(manual.m_contentsTree->topLevelItem(0)->childCount() > 0);
    manual.showSection(manual.m_contentsTree->topLevelItem(6));
    QCOMPARE(manual.m_browser->textCursor().block().text(), chapters.at(6));

    manual.m_searchEdit->setText(QStringLiteral("dialout"));
    QTest::keyClick(manual.m_searchEdit, Qt::Key_Return);
    QCOMPARE(manual.m_browser->textCursor().selectedText(), QStringLiteral("dialout"));
    const int first = manual.m_browser->textCursor().position();
    int position = -1;
    int hits = 0;
    do {
        QVERIFY(manual.search(QStringLiteral("dialout")));
        position = manual.m_browser->textCursor().position();
        ++hits;
    } while (position != first && hits < 20);
    QCOMPARE(position, first); // went round the end back to the first place
    QVERIFY(hits > 2);
    QVERIFY(!manual.search(QStringLiteral("不存在的文字xyz")));
    QCOMPARE(manual.m_browser->textCursor().position(), first);
    QVERIFY(manual.m_searchLabel->text().contains(QStringLiteral("未找到")));
}

// Every text the windows show (labels, buttons, menus, tree, the columns of
// every record kind, the parameter grid) drawn offscreen in the interface font,
// one character at a time, as the widgets draw it (font fallback included).
void ViewsTest::EveryCaptionCharacterIsDrawnWithInk()
{
    // Qt's offscreen platform on Windows has no font database, and the box it draws
    // for every character has ink: there the check needs the windows platform.
    if (QFontDatabase::families().isEmpty())
        QSKIP("no fonts on this platform (offscreen on Windows; run it on the windows platform)");
    QApplication::setFont(chineseInterfaceFont());
    WindowRig rig(SimConfig{});
    QDir(rig.folder.path()).mkdir(QStringLiteral("Excel"));
    QVERIFY(QFile::copy(QStringLiteral(QL_SOURCE_DIR "/resources/Excel/VarnelModbus.xls"),
                        rig.folder.filePath(QStringLiteral("Excel/VarnelModbus.xls"))));
    MainWindow& frm = rig.createWindow();
    frm.show();
    frm.onReadRealtimeTriggered();

    QString texts = QString::fromUtf8(kPortClosedText);
    for (QWidget* widget : frm.findChildren<QWidget*>()) {
        texts += widget->windowTitle();
        if (auto* label = qobject_cast<QLabel*>(widget))
            texts += label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            texts += button->text();
        if (auto* group = qobject_cast<QGroupBox*>(widget))
            texts += group->title();
        if (auto* grid = qobject_cast<QTableWidget*>(widget)) {
            for (int row = 0; row < grid->rowCount(); ++row)
                for (int column = 0; column < grid->columnCount(); ++column)
                    texts += grid->item(row, column) ? grid->item(row, column)->text() : QString();
        }
    }
    for (QAction* action : frm.findChildren<QAction*>())
        texts += action->text();
    for (QTreeWidgetItemIterator it(child<QTreeWidget>(frm, "TreeView1")); *it; ++it)
        texts += (*it)->text(0);
    for (const RecordKind* each : recordKinds(builtIn())) {
        const RecordKind& kind = *each;
        frm.setupRecordColumns(kind.code);
        for (const TableColumn& column : frm.records().columns())
            texts += QString::fromStdString(column.caption);
    }
    QVERIFY(texts.contains(QStringLiteral("℃")));

    const QFont font = frm.font();
    const QString blank = drawnBlank(font, texts);
    QVERIFY2(blank.isEmpty(), qPrintable(font.family() + QStringLiteral(" draws nothing for ") + blank));

    // WenQuanYi Micro Hei alone leaves "℃" blank: a symbol font goes in front of it.
    if (!QFontDatabase::families().contains(QStringLiteral("WenQuanYi Micro Hei")))
        QSKIP("fonts-wqy-microhei missing (scripts/common.sh installs it)");
    const QStringList families =
        interfaceFamilies({QStringLiteral("WenQuanYi Micro Hei")}, {QStringLiteral("DejaVu Sans")});
    QCOMPARE(families, QStringList({QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei")}));
    QFont microHei = font;
    microHei.setFamilies(families);
    QCOMPARE(drawnBlank(microHei, texts), QString());
}

void ViewsTest::QtsOwnButtonsAreChineseFromBesideTheProgramFirst()
{
    const QString installed =
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_zh_CN.qm");
    QVERIFY2(QFile::exists(installed), "qt6-translations-l10n missing (scripts/common.sh installs it)");
    QTemporaryDir programDir;
    QtBaseTranslator fromQt;
    QVERIFY(installQtTranslation(fromQt, programDir.path()));
    QCOMPARE(fromQt.filePath(), installed);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("是(&Y)"));
    // The file dialog's type column.
    QCOMPARE(QAbstractFileIconProvider().type(QFileInfo(programDir.path())), QStringLiteral("文件夹"));
    QCoreApplication::removeTranslator(&fromQt);

    QVERIFY(QDir(programDir.path()).mkdir(QStringLiteral("translations")));
    const QString beside = programDir.filePath(QStringLiteral("translations/qtbase_zh_CN.qm"));
    QVERIFY(QFile::copy(installed, beside));
    QTranslator shipped;
    QVERIFY(installQtTranslation(shipped, programDir.path()));
    QCOMPARE(shipped.filePath(), beside);
    QCoreApplication::removeTranslator(&shipped);
}

void ViewsTest::PortFailuresAreWordedInChinese_data()
{
    // The system's own codes for each cause: errno, or Windows error codes.
#ifdef _WIN32
    const int noSuchDevice = 2, accessDenied = 5, busy = 32, refused = 10061, reset = 10054, timedOut = 1460,
              unreachable = 10065, ioError = 1117, invalid = 87;
#else
    const int noSuchDevice = ENOENT, accessDenied = EACCES, busy = EBUSY, refused = ECONNREFUSED,
              reset = ECONNRESET, timedOut = ETIMEDOUT, unreachable = EHOSTUNREACH, ioError = EIO,
              invalid = EINVAL;
#endif
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<int>("systemError");
    QTest::addColumn<QString>("expected");
    QTest::newRow("NoSuchDevice") << kComErrOpen << noSuchDevice
                                  << QStringLiteral("串口打开失败：设备不存在");
    QTest::newRow("PermissionDenied")
        << kComErrOpen << accessDenied << QStringLiteral("串口打开失败：没有访问权限");
    QTest::newRow("DeviceBusy") << kComErrOpen << busy
                                << QStringLiteral("串口打开失败：设备正被其他程序占用");
    QTest::newRow("ConnectionRefused")
        << kComErrOpen << refused << QStringLiteral("串口打开失败：连接被拒绝");
    QTest::newRow("ConnectionReset") << kComErrRead << reset << QStringLiteral("接收数据失败：连接被重置");
    QTest::newRow("TimedOut") << kComErrOpen << timedOut << QStringLiteral("串口打开失败：操作超时");
    QTest::newRow("HostUnreachable") << kComErrOpen << unreachable
                                     << QStringLiteral("串口打开失败：主机不可达");
    QTest::newRow("InputOutput") << kComErrWrite << ioError << QStringLiteral("发送数据失败：输入/输出错误");
    // Causes without words of our own keep the system's.
    QTest::newRow("OtherAsTheSystemSaysIt")
        << kComErrSetState << invalid
        << QStringLiteral("串口参数设置失败：") +
               QString::fromStdString(std::system_category().message(invalid));
    QTest::newRow("NoCause") << kComErrPurge << -1 << QStringLiteral("清空串口缓冲区失败");
}

void ViewsTest::PortFailuresAreWordedInChinese()
{
    QFETCH(int, errorNumber);
    QFETCH(int, systemError);
    QFETCH(QString, expected);
    QCOMPARE(portErrorText(makeComError(errorNumber, systemError)), expected);
    // Our own causes carry what they name into the words.
    QCOMPARE(reasonText({LinkReasonCode::ServerSilent, "no answer from the server within 3 s", {"3"}}),
             QStringLiteral("服务器 3 秒内没有应答"));
    QCOMPARE(reasonText({LinkReasonCode::LineDiffers, "", {"baud rate", "4800", "9600"}}),
             QStringLiteral("服务器的波特率为 4800，而不是 9600"));
}

QTEST_MAIN(ViewsTest)
#include "views_test.moc"
