#include "TForm5.h"

#include "DeviceCatalogueConversion.h"
#include "DeviceListModel.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "forms/AccessibleWindow.h"
#include "forms/EventBoundary.h"
#include "hardware/PresentDevices.h"
#include "shell/Endpoints.h"
#include "shell/OpenInShell.h"
#include "stores/DeviceCatalogue.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

using namespace quarrow;

TForm5* Form5 = nullptr;

namespace {

// The wait cursor while the list is read; many devices take a moment.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

TForm5::TForm5(QWidget* parent) : QWidget(parent), readDevices_(ReadPresentDevices) {
    DeclareAccessibleWindow(this);
    // Before the controls exist: changing the flags of a window that has
    // them costs a walk over all of them.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setupUi(this);
    setFixedSize(785, 555);
    // Over the unknown-device window, which it is often opened from.
    move(311, 125);
    Label1->setText(HomeHost());
    ADOConnection1 = new Connection(DeviceListConnectionString(), this);
    ADOConnection1->setObjectName(QStringLiteral("ADOConnection1"));
    ADOQuery1 = new Query(ADOConnection1, QStringLiteral("ADOQuery1"), this);
    declareLook();
    declareGrid();
    connectHandlers();
    Grid1->setFocus();
}

void TForm5::declareLook() {
    // The unknown-device window's blue-grey, dark enough to read on the
    // plain window as well as on the skin's panels.
    const QColor labelText(52, 66, 107);
    for (QLabel* label : {sLabel1, sLabel2, sLabel3, sLabel4}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, labelText);
        label->setPalette(palette);
    }

    QPalette address = Label1->palette();
    address.setColor(QPalette::WindowText, Qt::black);
    address.setColor(QPalette::Window, palette().color(QPalette::Base));
    Label1->setPalette(address);
    Label1->setAutoFillBackground(true);

    for (QFrame* panel : {sPanel1, sPanel2, sPanel4, sPanel5}) {
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setAutoFillBackground(true);
    }
}

void TForm5::declareGrid() {
    Grid1Model = new DeviceListModel(this);
    Grid1Model->setObjectName(QStringLiteral("Grid1Model"));
    Grid1Model->setTitleFont(QFont(QStringLiteral("MS Sans Serif"), 8, QFont::Bold));
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->setTabKeyNavigation(false);
    Grid1->setWordWrap(false);
    Grid1->verticalHeader()->hide();
    Grid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid1->verticalHeader()->setDefaultSectionSize(Grid1->fontMetrics().height() + 6);
    Grid1->horizontalHeader()->setHighlightSections(false);
    Grid1->horizontalHeader()->setStretchLastSection(true);
}

void TForm5::attachGrid() {
    Grid1->setModel(Grid1Model);
    connect(Grid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TForm5::followCurrentRow);
    // The longest code whole, also in bold; the names take what is left
    // beside the drivers.
    QFont bold = Grid1->font();
    bold.setBold(true);
    const int idWidth = QFontMetrics(bold).horizontalAdvance(
        QStringLiteral("PCI\\VEN_10DE&DEV_0D57&SUBSYS_04011043"));
    Grid1->setColumnWidth(DeviceListModel::IdColumn, idWidth + 12);
    Grid1->setColumnWidth(DeviceListModel::NameColumn, 320);
}

void TForm5::connectHandlers() {
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Grid1Model, &QAbstractItemModel::modelReset, this, &TForm5::followCurrentRow);
    Grid1->installEventFilter(this);
    Grid1->viewport()->installEventFilter(this);
    Label1->installEventFilter(this);
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Grid1 && event->type() == QEvent::KeyPress) {
        bool taken = false;
        guarded([&] { taken = Grid1KeyDown(*static_cast<QKeyEvent*>(event)); });
        return taken;
    }
    if (watched == Grid1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // A double click on a device, never on the empty space below the rows.
        const QModelIndex cell =
            Grid1->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (!cell.isValid()) return false;
        Grid1->setCurrentIndex(cell);
        guarded([this] { Grid1DblClick(); });
        return true;
    }
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        guarded([this] { Label1Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm5::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    // The grid meets its model at the first showing: a table view's set-up
    // and its measuring of text are start-up time that no one waits for.
    if (Grid1->model() != Grid1Model) attachGrid();
    Grid1->setFocus();
    // An error here is shown in the error box and the window opens anyway.
    guarded([this] { FormShow(); });
}

void TForm5::FormShow() {
    const BusyCursor busy;
    const HardwareScan scan = readDevices_();
    // The codes and drivers show even when the catalogue cannot name them.
    showDevices(scan, nullptr);
    ConvertJetDeviceCatalogue(this, *ADOConnection1);
    const QHash<QString, QString> texts =
        DeviceTextsByCode(*ADOConnection1, *ADOQuery1, CatalogueCodes(scan.devices));
    showDevices(scan, &texts);
}

void TForm5::showDevices(const HardwareScan& scan, const QHash<QString, QString>* catalogueTexts) {
    Grid1Model->setRows(MakeDeviceListRows(scan.devices, catalogueTexts));
    const auto withoutDriver =
        std::count_if(scan.devices.begin(), scan.devices.end(),
                      [](const HardwareDevice& d) { return !d.hasDriver(); });
    QString count = QString::number(scan.devices.size()) + QStringLiteral(", без драйвера: ") +
                    QString::number(withoutDriver);
    if (scan.skipped > 0) {
        count += QStringLiteral(", не прочитано: ") + QString::number(scan.skipped);
    }
    sLabel3->setText(count);
    sLabel3->resize(sLabel3->sizeHint().width(), sLabel3->height());
    if (Grid1Model->rowCount() > 0) Grid1->setCurrentIndex(Grid1Model->index(0, 0));
}

const DeviceListRow* TForm5::currentDevice() const {
    const QModelIndex current = Grid1->currentIndex();
    if (!current.isValid()) return nullptr;
    return &Grid1Model->rows().at(current.row());
}

void TForm5::followCurrentRow() {
    const DeviceListRow* device = currentDevice();
    Button1->setEnabled(device != nullptr && !device->driverSearchText.isEmpty());
}

void TForm5::Grid1DblClick() {
    const DeviceListRow* device = currentDevice();
    if (device != nullptr && actions_.searchDeviceCode) {
        actions_.searchDeviceCode(device->searchCode);
    }
}

bool TForm5::Grid1KeyDown(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        Grid1DblClick();
        return true;
    }
    if (key.matches(QKeySequence::Copy)) {
        if (const DeviceListRow* device = currentDevice()) {
            QApplication::clipboard()->setText(device->id);
        }
        return true;
    }
    return false;
}

void TForm5::Button1Click() {
    const DeviceListRow* device = currentDevice();
    if (device == nullptr || device->driverSearchText.isEmpty() || !actions_.searchDrivers) return;
    actions_.searchDrivers(device->driverSearchText);
}

void TForm5::Label1Click() { OpenInShell(HomePageUrl()); }
