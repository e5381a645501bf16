#include "SkinFixtures.h"
#include "TestSupport.h"
#include "skin/SkinDescription.h"
#include "skin/SkinFiles.h"
#include "skin/SkinManager.h"
#include "skin/ThirdParty.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;
using namespace Qt::StringLiterals;

namespace {

// A file in the skin's folder or archive that only this copy has, so the
// test can tell which copy was loaded.
SkinFileList marked(const QString& colour) {
    return ShineWithOptions(
        ShineOptionsWith(QStringLiteral("FORM"), QStringLiteral("FontColor=") + colour));
}

bool ruleFor(const QString& selector) {
    return qApp->styleSheet().contains(selector + QStringLiteral(" {"));
}

// The skin as the engine turns it into a style sheet for one section.
bool sectionSkinned(const QString& section) {
    return ruleFor(QStringLiteral("*[skinSection=\"%1\"]").arg(section));
}

class PushButtonOfOurOwn : public QPushButton {
    Q_OBJECT
};

}  // namespace

class SkinEngineTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void declaredSettings();
    void thirdPartyLists();
    void thirdPartyMatchesExactClassesOnly_data();
    void thirdPartyMatchesExactClassesOnly();
    void lookupOrder_data();
    void lookupOrder();
    void currentFolderIsNeverSearched_data();
    void currentFolderIsNeverSearched();
    void switchingOffDropsTheSkinAndOnLoadsIt();
    void shippedSkinIsSoundPackedAndUnpacked_data();
    void shippedSkinIsSoundPackedAndUnpacked();
    void picturesAreKeptInMemory();
    void unreadableSkinThrowsAndKeepsThePlainLook_data();
    void unreadableSkinThrowsAndKeepsThePlainLook();
    void badEntryLeavesItsSectionPlain_data();
    void badEntryLeavesItsSectionPlain();

private:
    std::unique_ptr<QTemporaryDir> program_;
    std::unique_ptr<TsSkinManager> manager_;
};

void SkinEngineTest::init() {
    program_ = std::make_unique<QTemporaryDir>();
    manager_ = std::make_unique<TsSkinManager>();
    manager_->setSkinDirectory(program_->path() + u'/');
}

void SkinEngineTest::cleanup() {
    manager_.reset();
    program_.reset();
    qApp->setStyleSheet(QString());
}

void SkinEngineTest::declaredSettings() {
    TsSkinManager manager;
    QVERIFY(manager.active());
    QCOMPARE(manager.skinDirectory(), QStringLiteral("c:\\Skins"));
    QCOMPARE(manager.skinName(), QString());
    QCOMPARE(manager.skinInfo(), QStringLiteral("N/A"));
    QVERIFY(manager.internalSkins().isEmpty());
    QCOMPARE(manager.menuSupport().icoLineSkin, QStringLiteral("ICOLINE"));
    QCOMPARE(manager.menuSupport().extraLineFont.family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(manager.menuSupport().extraLineFont.pointSize(), 8);
    QVERIFY(!manager.menuSupport().useExtraLine);
    QCOMPARE(manager.menuSupport().extraLineWidth, 32);
    QCOMPARE(manager.skinningRules(),
             SkinningRule::StdForms | SkinningRule::StdDialogs | SkinningRule::ThirdParty);
    QVERIFY(manager.skinnedPopups());
    QCOMPARE(manager.objectName(), QStringLiteral("sSkinManager1"));
}

void SkinEngineTest::thirdPartyLists() {
    const ThirdPartyLists& lists = manager_->thirdParty();
    QStringList names;
    QStringList sections;
    for (const ThirdPartyList& list : lists) {
        names << QString(list.name);
        sections << QString(list.section);
    }
    QCOMPARE(names, QStringList({u"ThirdEdits"_s, u"ThirdButtons"_s, u"ThirdBitBtns"_s,
                                 u"ThirdCheckBoxes"_s, u"ThirdGroupBoxes"_s, u"ThirdListViews"_s,
                                 u"ThirdPanels"_s, u"ThirdGrids"_s, u"ThirdTreeViews"_s,
                                 u"ThirdComboBoxes"_s, u"ThirdWWEdits"_s, u"ThirdVirtualTrees"_s,
                                 u"ThirdGridEh"_s}));
    QCOMPARE(sections, QStringList({u"EDIT"_s, u"BUTTON"_s, u"BUTTON"_s, u"CHECKBOX"_s,
                                    u"GROUPBOX"_s, u"EDIT"_s, u"PANEL"_s, u"EDIT"_s, u"EDIT"_s,
                                    u"EDIT"_s, u"EDIT"_s, u"EDIT"_s, u"EDIT"_s}));
    const QStringList edits = QString(lists[0].classes).split(QStringLiteral("\r\n"));
    QCOMPARE(edits.size(), 18);
    QCOMPARE(edits.first(), QStringLiteral("TEdit"));
    QCOMPARE(edits.last(), QStringLiteral("TDBEdit"));
    QCOMPARE(QString(lists[7].classes).split(QStringLiteral("\r\n")).last(),
             QStringLiteral("TDBGrid"));
    QCOMPARE(QString(lists[3].classes),
             QStringLiteral(
                 "TCheckBox\r\nTRadioButton\r\nTDBCheckBox\r\nTDBCheckBoxEh\r\nTGroupButton"));
}

void SkinEngineTest::thirdPartyMatchesExactClassesOnly_data() {
    QTest::addColumn<QWidget*>("widget");
    QTest::addColumn<QString>("section");
    // Owned by the test object, so they outlive the rows that use them.
    QTest::newRow("push button") << static_cast<QWidget*>(new QPushButton) << "BUTTON";
    QTest::newRow("text box") << static_cast<QWidget*>(new QLineEdit) << "EDIT";
    QTest::newRow("check box") << static_cast<QWidget*>(new QCheckBox) << "CHECKBOX";
    QTest::newRow("group box") << static_cast<QWidget*>(new QGroupBox) << "GROUPBOX";
    QTest::newRow("derived button") << static_cast<QWidget*>(new PushButtonOfOurOwn) << "";
    QTest::newRow("label") << static_cast<QWidget*>(new QLabel) << "";
}

void SkinEngineTest::thirdPartyMatchesExactClassesOnly() {
    QFETCH(QWidget*, widget);
    QFETCH(QString, section);
    const std::unique_ptr<QWidget> owned(widget);
    QCOMPARE(ThirdPartySection(widget->metaObject()->className()), section);
    QCOMPARE(ThirdPartySection("quarrow::DBEdit"), QStringLiteral("EDIT"));
    QCOMPARE(ThirdPartySection("quarrow::DBGrid"), QStringLiteral("EDIT"));
}

void SkinEngineTest::lookupOrder_data() {
    QTest::addColumn<bool>("packed");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("used");
    QTest::newRow("packed file") << true << false << "#010203";
    QTest::newRow("skin folder") << false << true << "#040506";
    QTest::newRow("both: the packed file wins") << true << true << "#010203";
    QTest::newRow("neither") << false << false << "";
}

void SkinEngineTest::lookupOrder() {
    QFETCH(bool, packed);
    QFETCH(bool, folder);
    QFETCH(QString, used);
    if (packed)
        WriteSkinArchive(program_->filePath(QStringLiteral("Shine.asz")),
                         marked(QStringLiteral("#010203")));
    if (folder) WriteSkinFolder(program_->path(), marked(QStringLiteral("#040506")));

    manager_->setSkinName(QStringLiteral("Shine"));

    QCOMPARE(manager_->skinLoaded(), !used.isEmpty());
    QCOMPARE(manager_->active(), !used.isEmpty());
    QCOMPARE(qApp->styleSheet().isEmpty(), used.isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    if (used.isEmpty()) {
        QCOMPARE(manager_->skinInfo(), QStringLiteral("N/A"));
        return;
    }
    QCOMPARE(manager_->skinInfo(), QStringLiteral("1.0"));
    const QColor colour = QColor::fromString(used);
    QVERIFY2(qApp->styleSheet().contains(QStringLiteral("color: rgba(%1, %2, %3, 255)")
                                             .arg(colour.red())
                                             .arg(colour.green())
                                             .arg(colour.blue())),
             qPrintable(qApp->styleSheet().left(400)));
}

void SkinEngineTest::currentFolderIsNeverSearched_data() {
    QTest::addColumn<QString>("skinDirectory");
    QTest::newRow("the program's folder has no skin") << "program";
    QTest::newRow("the declared folder, relative here") << "c:\\Skins";
    QTest::newRow("an empty folder name") << "";
}

void SkinEngineTest::currentFolderIsNeverSearched() {
    QFETCH(QString, skinDirectory);
#if defined(Q_OS_WIN)
    if (skinDirectory.startsWith(u"c:")) {
        QSKIP("On Windows c:\\Skins names a folder of drive C:, not one in the current folder.");
    }
#endif
    TemporaryCurrentFolder current;
    WriteSkinArchive(current.filePath(QStringLiteral("Shine.asz")), ShineFiles());
    WriteSkinFolder(current.path(), ShineFiles());
#if !defined(Q_OS_WIN)
    // Here "c:\\Skins" is a folder name like any other.
    WriteSkinArchive(current.filePath(QStringLiteral("c:\\Skins/Shine.asz")), ShineFiles());
#endif
    manager_->setSkinDirectory(skinDirectory == u"program" ? program_->path() : skinDirectory);

    manager_->setSkinName(QStringLiteral("Shine"));

    QVERIFY(!manager_->skinLoaded());
    QVERIFY(!manager_->active());
    QVERIFY(qApp->styleSheet().isEmpty());
}

void SkinEngineTest::switchingOffDropsTheSkinAndOnLoadsIt() {
    WriteSkinFolder(program_->path(), ShineFiles());
    manager_->setSkinName(QStringLiteral("Shine"));
    QVERIFY(manager_->skinLoaded());

    manager_->setActive(true);  // already on: nothing happens
    QVERIFY(manager_->skinLoaded());
    manager_->setActive(false);
    QVERIFY(!manager_->skinLoaded());
    QVERIFY(qApp->styleSheet().isEmpty());
    manager_->setSkinName(QStringLiteral("Shine"));  // while off: nothing is loaded
    QVERIFY(qApp->styleSheet().isEmpty());
    manager_->setActive(true);
    QVERIFY(manager_->skinLoaded());
    QVERIFY(!qApp->styleSheet().isEmpty());
}

void SkinEngineTest::shippedSkinIsSoundPackedAndUnpacked_data() {
    QTest::addColumn<QString>("copy");
    QTest::newRow("Shine.asz beside the program") << "Shine.asz";
    QTest::newRow("Shine/ beside the program") << "Shine";
}

// What the build puts beside the program: every section described, none
// left out, the pictures found.
void SkinEngineTest::shippedSkinIsSoundPackedAndUnpacked() {
    QFETCH(QString, copy);
    const QString built = QDir(BuildDir()).filePath(copy);
    QVERIFY2(QFileInfo::exists(built), qPrintable(built));
    if (copy == u"Shine.asz") {
        QVERIFY(QFile::copy(built, program_->filePath(copy)));
    } else {
        for (const QString& name : QDir(built).entryList(QDir::Files)) {
            QDir().mkpath(program_->filePath(copy));
            QVERIFY(QFile::copy(built + u'/' + name, program_->filePath(copy + u'/' + name)));
        }
    }

    try {
        manager_->setSkinName(QStringLiteral("Shine"));
    } catch (const Exception& error) {
        QFAIL(qPrintable(error.message()));
    }

    QVERIFY(manager_->skinLoaded());
    QCOMPARE(manager_->rejectedSections(), QStringList());
    for (const QString& section : SkinSectionNames()) {
        QVERIFY2(sectionSkinned(section), qPrintable(section));
    }
    QVERIFY(ruleFor(QStringLiteral("#Button9[skinSection=\"BUTTON\"]")));
    QVERIFY(ruleFor(QStringLiteral("#sEdit1[skinSection=\"EDIT\"]")));
    QVERIFY(qApp->styleSheet().contains(QStringLiteral("image: url(")));
}

// The style sheet points at the skin's pictures in memory, pixel for pixel
// the skin's own; nothing goes to the temporary folder, so nothing can be left
// there, and the pictures go when the manager does.
void SkinEngineTest::picturesAreKeptInMemory() {
    QTemporaryDir temporary;
    const QByteArray previousTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    WriteSkinArchive(program_->filePath(u"Shine.asz"_s), ShineFiles());
    manager_->setSkinName(u"Shine"_s);
    qputenv("TMPDIR", previousTemporary);
    QVERIFY(manager_->skinLoaded());

    static const QRegularExpression tick(u"image: url\\(\"([^\"]*)\"\\)"_s);
    const QRegularExpressionMatch found = tick.match(qApp->styleSheet());
    QVERIFY2(found.hasMatch(), qPrintable(qApp->styleSheet()));
    const QString path = found.captured(1);
    QVERIFY2(path.startsWith(u":/"), qPrintable(path));
    QImage shown(path);
    QVERIFY2(!shown.isNull(), qPrintable(path));
    const QImage own = QImage::fromData(ShineFile(u"check.png"_s));
    QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32),
             own.convertToFormat(QImage::Format_ARGB32));
    QCOMPARE(QDir(temporary.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList());

    manager_.reset();
    QVERIFY(!QFile::exists(path));
}

void SkinEngineTest::unreadableSkinThrowsAndKeepsThePlainLook_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");

    QTemporaryDir scratch;
    WriteSkinArchive(scratch.filePath(QStringLiteral("good.asz")), ShineFiles());
    QFile good(scratch.filePath(QStringLiteral("good.asz")));
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray packed = good.readAll();

    QByteArray corrupted = packed;
    // The first entry's data starts after its 30-byte local header and name.
    for (int i = 60; i < 90; ++i) corrupted[i] = char(corrupted[i] ^ 0x5a);

    const QByteArray huge = QByteArray("[SKIN]\nVersion=1.0\n") + QByteArray(17 * 1024 * 1024, ';');
    WriteSkinArchive(scratch.filePath(QStringLiteral("huge.asz")), ShineWithOptions(huge));
    QFile bomb(scratch.filePath(QStringLiteral("huge.asz")));
    QVERIFY(bomb.open(QIODevice::ReadOnly));
    WriteSkinArchive(scratch.filePath(QStringLiteral("bare.asz")),
                     {{QStringLiteral("check.png"), QByteArray("x")}});
    QFile bare(scratch.filePath(QStringLiteral("bare.asz")));
    QVERIFY(bare.open(QIODevice::ReadOnly));

    QTest::newRow("packed file that is not a zip")
        << "Shine.asz" << QByteArray("This is not a zip archive.\n") << "Not a zip archive";
    QTest::newRow("empty packed file") << "Shine.asz" << QByteArray() << "Shine.asz";
    QTest::newRow("truncated packed file")
        << "Shine.asz" << packed.left(packed.size() * 3 / 5) << "Shine.asz";
    QTest::newRow("damaged packed data") << "Shine.asz" << corrupted << "Shine.asz";
    QTest::newRow("packed file inflating past 16 MiB") << "Shine.asz" << bomb.readAll() << "16 MiB";
    QTest::newRow("packed file without Options.dat")
        << "Shine.asz" << bare.readAll() << "has no Options.dat";
    QTest::newRow("Options.dat past 16 MiB") << "Shine/Options.dat" << huge << "16 MiB";
    QTest::newRow("Options.dat of binary junk")
        << "Shine/Options.dat" << QByteArray("\x00\x01\x02\xff\xfe[\x00]\x7f", 10) << "not valid";
    QTest::newRow("Options.dat with a broken group header")
        << "Shine/Options.dat" << QByteArray("[SKIN\nVersion=1.0\n") << "not valid";
    QTest::newRow("Options.dat without [SKIN]")
        << "Shine/Options.dat" << QByteArray("[FORM]\nFontColor=#000000\n") << "no [SKIN] group";
}

void SkinEngineTest::unreadableSkinThrowsAndKeepsThePlainLook() {
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    WriteFile(program_->filePath(file), content);

    QString error;
    try {
        manager_->setSkinName(QStringLiteral("Shine"));
    } catch (const ESkinError& e) {
        error = e.message();
    }

    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(!manager_->skinLoaded());
    QVERIFY(qApp->styleSheet().isEmpty());
    QCOMPARE(manager_->skinInfo(), QStringLiteral("N/A"));
}

void SkinEngineTest::badEntryLeavesItsSectionPlain_data() {
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QByteArray>("checkImage");
    QTest::addColumn<QString>("section");

    const QByteArray tick = ShineFile(u"check.png"_s);
    const auto with = [](const char* group, const char* line) {
        return ShineOptionsWith(QString::fromUtf8(group), QString::fromUtf8(line));
    };
    QTest::newRow("malformed colour") << with("BUTTON", "FontColor=#12345g") << tick << "BUTTON";
    QTest::newRow("colour list for one colour")
        << with("EDIT", "FontColor=#000000, #ffffff") << tick << "EDIT";
    QTest::newRow("gradient of five colours")
        << with("PANEL", "Background=#000,#111,#222,#333,#444") << tick << "PANEL";
    QTest::newRow("radius out of range")
        << with("GROUPBOX", "BorderRadius=999") << tick << "GROUPBOX";
    QTest::newRow("width that is no number") << with("FORM", "BorderWidth=wide") << tick << "FORM";
    QTest::newRow("font name that would break the rules")
        << with("MAINMENU", "FontName=Arial } QWidget { background: red") << tick << "MAINMENU";
    QTest::newRow("value Qt would decode into a rectangle")
        << with("DIALOG", "FontColor=@Rect(1 2 3 4)") << tick << "DIALOG";
    QTest::newRow("font size without a font")
        << with("MAINMENU", "FontSize=12") << tick << "MAINMENU";
    QTest::newRow("flag that is neither")
        << with("SPEEDBUTTON", "FontBold=maybe") << tick << "SPEEDBUTTON";
    QTest::newRow("picture outside the skin")
        << with("CHECKBOX", "CheckImage=../check.png") << tick << "CHECKBOX";
    QTest::newRow("missing picture")
        << with("CHECKBOX", "CheckImage=none.png") << tick << "CHECKBOX";
    QTest::newRow("picture that is no picture")
        << ShineFile(u"Options.dat"_s) << QByteArray("GIF89a?") << "CHECKBOX";
    QTest::newRow("missing section") << with("EDIT", "") << tick << "EDIT";
}

void SkinEngineTest::badEntryLeavesItsSectionPlain() {
    QFETCH(QByteArray, options);
    QFETCH(QByteArray, checkImage);
    QFETCH(QString, section);
    SkinFileList files = ShineWithOptions(options);
    for (auto& file : files) {
        if (file.first == u"check.png") file.second = checkImage;
    }
    WriteSkinArchive(program_->filePath(u"Shine.asz"_s), files);

    manager_->setSkinName(u"Shine"_s);

    QVERIFY(manager_->skinLoaded());
    QVERIFY2(!sectionSkinned(section), qPrintable(qApp->styleSheet()));
    for (const QString& other : SkinSectionNames()) {
        if (other != section) QVERIFY2(sectionSkinned(other), qPrintable(other));
    }
    // A named control of a section left out keeps the plain look with it.
    if (section == u"BUTTON") QVERIFY(!ruleFor(u"#Button9[skinSection=\"BUTTON\"]"_s));
}

QUARROW_TEST_MAIN(SkinEngineTest)
#include "tst_skin_engine.moc"
