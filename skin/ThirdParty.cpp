#include "ThirdParty.h"

#include <QHash>
#include <QStringList>

namespace quarrow {

namespace {

// Panels, bitmap buttons and the data-aware lookups and trees of other
// libraries have no Qt class of their own here: our panels are frames that
// name their section, and a push button carries its glyph itself.
constexpr ThirdPartyLists kThirdParty{{
    {QLatin1String("ThirdEdits"),
     QLatin1String("TEdit\r\nTMemo\r\nTMaskEdit\r\nTLabeledEdit\r\nTHotKey\r\nTListBox\r\n"
                   "TCheckListBox\r\nTDBListBox\r\nTRichEdit\r\nTDBMemo\r\nTSynEdit\r\nTSynMemo\r\n"
                   "TDBSynEdit\r\nTDBLookupListBox\r\nTDBRichEdit\r\nTDBCtrlGrid\r\n"
                   "TDateTimePicker\r\nTDBEdit"),
     QLatin1String(
         "QLineEdit\r\nQTextEdit\r\nQPlainTextEdit\r\nQTextBrowser\r\nQKeySequenceEdit\r\n"
         "QListWidget\r\nQDateTimeEdit\r\nQDateEdit\r\nQTimeEdit\r\nquarrow::DBEdit"),
     QLatin1String("EDIT")},
    {QLatin1String("ThirdButtons"), QLatin1String("TButton"), QLatin1String("QPushButton"),
     QLatin1String("BUTTON")},
    {QLatin1String("ThirdBitBtns"), QLatin1String("TBitBtn"), QLatin1String(""),
     QLatin1String("BUTTON")},
    {QLatin1String("ThirdCheckBoxes"),
     QLatin1String("TCheckBox\r\nTRadioButton\r\nTDBCheckBox\r\nTDBCheckBoxEh\r\nTGroupButton"),
     QLatin1String("QCheckBox\r\nQRadioButton"), QLatin1String("CHECKBOX")},
    {QLatin1String("ThirdGroupBoxes"), QLatin1String("TGroupBox\r\nTDBRadioGroup\r\nTRadioGroup"),
     QLatin1String("QGroupBox"), QLatin1String("GROUPBOX")},
    {QLatin1String("ThirdListViews"), QLatin1String("TListView"), QLatin1String("QListView"),
     QLatin1String("EDIT")},
    {QLatin1String("ThirdPanels"), QLatin1String("TPanel\r\nTDBCtrlPanel"), QLatin1String(""),
     QLatin1String("PANEL")},
    {QLatin1String("ThirdGrids"),
     QLatin1String(
         "TStringGrid\r\nTDrawGrid\r\nTRichView\r\nTDBRichViewEdit\r\nTRichViewEdit\r\n"
         "TDBRichView\r\nTwwDBGrid\r\nTAdvStringGrid\r\nTDBAdvGrid\r\nTValueListEditor\r\n"
         "TDBGrid"),
     QLatin1String("QTableView\r\nQTableWidget\r\nquarrow::DBGrid\r\nquarrow::EditableDBGrid"),
     QLatin1String("EDIT")},
    {QLatin1String("ThirdTreeViews"), QLatin1String("TTreeView\r\nTRzTreeView\r\nTDBTreeView"),
     QLatin1String("QTreeView\r\nQTreeWidget"), QLatin1String("EDIT")},
    {QLatin1String("ThirdComboBoxes"), QLatin1String("TComboBox\r\nTColorBox\r\nTDBComboBox"),
     QLatin1String("QComboBox\r\nQFontComboBox"), QLatin1String("EDIT")},
    {QLatin1String("ThirdWWEdits"),
     QLatin1String("TDBLookupComboBox\r\nTwwDBComboBox\r\nTwwDBCustomCombo\r\n"
                   "TwwDBCustomLookupCombo"),
     QLatin1String(""), QLatin1String("EDIT")},
    {QLatin1String("ThirdVirtualTrees"),
     QLatin1String(
         "TVirtualStringTree\r\nTVirtualStringTreeDB\r\nTEasyListview\r\n"
         "TVirtualExplorerListview\r\nTVirtualExplorerTreeview\r\nTVirtualExplorerTree\r\n"
         "TVirtualDrawTree"),
     QLatin1String(""), QLatin1String("EDIT")},
    {QLatin1String("ThirdGridEh"), QLatin1String("TDBGridEh"), QLatin1String(""),
     QLatin1String("EDIT")},
}};

QHash<QString, QString> sectionsByQtClass() {
    QHash<QString, QString> sections;
    for (const ThirdPartyList& list : kThirdParty) {
        const QStringList classes =
            QString(list.qtClasses).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (const QString& name : classes) sections.insert(name, QString(list.section));
    }
    return sections;
}

}  // namespace

const ThirdPartyLists& ThirdParty() { return kThirdParty; }

QString ThirdPartySection(const char* className) {
    static const QHash<QString, QString> sections = sectionsByQtClass();
    return sections.value(QString::fromLatin1(className));
}

}  // namespace quarrow
