#include "WindowMeasurement.h"

#include "BenchData.h"
#include "db/Query.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "widgets/DBGrid.h"

#include <sys/resource.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <stdexcept>
#include <vector>

namespace quarrow::bench {

namespace {

constexpr qint64 kRows = 1'000'000;
constexpr double kFirstScreenMs = 500;
constexpr double kMostGrowthMb = 150;
// One frame of a 60 Hz screen: a step that paints within it never stutters.
constexpr double kSmoothStepMs = 1000.0 / 60;
constexpr double kDeletionMs = 50;
constexpr int kPages = 5;
constexpr int kDeletions = 3;

struct Memory {
    double residentMb = 0;
    double peakMb = 0;
};

Memory processMemory() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read /proc/self/status");
    Memory memory;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2) continue;
        const double mb = fields[1].toDouble() / 1024;
        if (fields[0] == "VmRSS:") memory.residentMb = mb;
        if (fields[0] == "VmHWM:") memory.peakMb = mb;
    }
    return memory;
}

double milliseconds(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

DBGrid* grid() { return Form1->DBGrid1; }
Query* results() { return Form1->ADOQuery1; }

// What the screen shows next: pending events handled, then every visible
// row of the grid painted.
void paintGrid() {
    QCoreApplication::processEvents();
    const QPixmap screen = grid()->viewport()->grab();
    if (screen.isNull()) throw std::runtime_error("the grid painted nothing");
}

// A dialog that nobody expects would wait for an answer forever; say what
// it was and stop instead.
class UnexpectedDialogGuard : public QObject {
public:
    UnexpectedDialogGuard() {
        timer_.callOnTimeout(this, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr || expected_) return;
            QStringList texts;
            for (const QLabel* label : dialog->findChildren<QLabel*>()) texts.append(label->text());
            std::fprintf(stderr, "quarrow-measure: unexpected dialog '%s': %s\n",
                         qPrintable(dialog->windowTitle()), qPrintable(texts.join(u' ')));
            std::_Exit(2);
        });
        timer_.start(250);
    }
    void expect(bool expected) { expected_ = expected; }

private:
    QTimer timer_;
    bool expected_ = false;
};

// Presses OK in the confirmation dialog once it is on the screen, as a user
// who has read it would; notes when that was.
class ConfirmationAnswer : public QObject {
public:
    ConfirmationAnswer() {
        timer_.callOnTimeout(this, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr || dialog->windowHandle() == nullptr ||
                !dialog->windowHandle()->isExposed()) {
                return;
            }
            auto* ok = dialog->findChild<QAbstractButton*>(QStringLiteral("OK"));
            if (ok == nullptr) return;
            timer_.stop();
            answeredAt = clock->nsecsElapsed();
            ok->click();
        });
    }
    void start(const QElapsedTimer* since) {
        clock = since;
        answeredAt = -1;
        timer_.start(0);
    }

    const QElapsedTimer* clock = nullptr;
    qint64 answeredAt = -1;

private:
    QTimer timer_;
};

// Where the time of one search goes, in milliseconds.
struct SearchPhases {
    double total = 0;
    double freePrevious = 0;  // closing the previous result
    double select = 0;        // the search statement, rows kept
    double showRows = 0;      // the grid and field boxes following the result
    double count = 0;         // the count statement
    double paint = 0;         // the first screen painted
    double pageFaults = 0;    // memory touched for the first time, in 4 KB pages
};

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

QString describe(const std::vector<SearchPhases>& searches) {
    const auto medianOf = [&searches](double SearchPhases::*phase) {
        std::vector<double> values;
        for (const SearchPhases& s : searches) values.push_back(s.*phase);
        return Milliseconds(median(values));
    };
    std::vector<double> faults;
    for (const SearchPhases& s : searches) faults.push_back(s.pageFaults);
    return QStringLiteral(
               "select %1, grid %2, count %3, paint %4, closing the previous result %5; "
               "%6 page faults")
        .arg(medianOf(&SearchPhases::select), medianOf(&SearchPhases::showRows),
             medianOf(&SearchPhases::count), medianOf(&SearchPhases::paint),
             medianOf(&SearchPhases::freePrevious), Thousands(qint64(median(faults))));
}

void syncToDisk(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || ::fsync(file.handle()) != 0) {
        throw std::runtime_error("cannot write the copy of vek.mdb to the disk");
    }
}

class MainWindowSession {
public:
    MainWindowSession() {
        const CatalogueFiles catalogue = DriverCatalogue(kRows);
        if (!folder_.isValid()) throw std::runtime_error("cannot make a working folder");
        // Deleting rows changes the file, so the window gets a copy.
        std::fprintf(stderr, "Copying %s\n", qPrintable(catalogue.catalogue));
        const QString copy = folder_.filePath(QStringLiteral("vek.mdb"));
        if (!QFile::copy(catalogue.catalogue, copy)) {
            throw std::runtime_error("cannot copy vek.mdb");
        }
        // A catalogue the user searches was not written a moment ago: the
        // copy goes to the disk now, not while the first search reads it.
        syncToDisk(copy);
        previous_ = QDir::currentPath();
        QDir::setCurrent(folder_.path());
        CreateWindowSet();
        if (!QTest::qWaitForWindowExposed(Form1)) throw std::runtime_error("Form1 is not shown");
        QCoreApplication::processEvents();
    }
    ~MainWindowSession() {
        DestroyWindowSet();
        QDir::setCurrent(previous_);
    }
    MainWindowSession(const MainWindowSession&) = delete;
    MainWindowSession& operator=(const MainWindowSession&) = delete;

    QList<ResultRow> measure(int searches);

private:
    SearchPhases search(const QString& typed);
    double step(const std::function<void()>& action);
    std::vector<double> keySteps(Qt::Key first, Qt::Key then);
    std::vector<double> scrollBarSteps();
    struct Deletion {
        double keyToGone = 0;
        double toAnswer = 0;
        double answerToRemoved = 0;
        QStringList values;
    };
    Deletion deleteWithDialog();
    double deleteDirectly(QStringList& values);
    QStringList currentValues() const;
    bool searchFinds(const QStringList& values, int nameColumn);
    QList<ResultRow> deletions(const QString& typed, const QString& description);

    QTemporaryDir folder_{QDir(DataFolder()).filePath(QStringLiteral("window-XXXXXX"))};
    QString previous_;
    UnexpectedDialogGuard guard_;
};

SearchPhases MainWindowSession::search(const QString& typed) {
    Form1->Edit1->clear();
    QTest::keyClicks(Form1->Edit1, typed);
    const bool replacing = results()->isOpen();
    QElapsedTimer timer;
    std::vector<double> resultsReady, resultsShown, counted;
    const auto noteIn = [&timer](std::vector<double>& times) {
        return [&timer, &times] { times.push_back(milliseconds(timer)); };
    };
    // Connected after the grid and the field boxes, so that "shown" comes
    // after they have followed the new result.
    const QList<QMetaObject::Connection> connections{
        QObject::connect(results(), &Query::aboutToReset, noteIn(resultsReady)),
        QObject::connect(results(), &Query::resultReset, noteIn(resultsShown)),
        QObject::connect(Form1->ADOQuery2, &Query::aboutToReset, noteIn(counted)),
    };
    const long faultsBefore = minorFaults();
    timer.start();
    QTest::mouseClick(Form1->Button2, Qt::LeftButton);
    const double clicked = milliseconds(timer);
    paintGrid();
    SearchPhases phases;
    phases.total = milliseconds(timer);
    phases.pageFaults = double(minorFaults() - faultsBefore);
    for (const auto& connection : connections) QObject::disconnect(connection);
    if (Form1->sLabel3->text() != QString::number(grid()->model()->rowCount()) ||
        resultsShown.empty() || counted.empty()) {
        throw std::runtime_error("the counter does not match the grid");
    }
    phases.freePrevious = replacing ? resultsShown.front() : 0;
    phases.select = resultsReady.back() - phases.freePrevious;
    phases.showRows = resultsShown.back() - resultsReady.back();
    phases.count = counted.front() - resultsShown.back();
    phases.paint = phases.total - clicked;
    return phases;
}

double MainWindowSession::step(const std::function<void()>& action) {
    QElapsedTimer timer;
    timer.start();
    action();
    paintGrid();
    return milliseconds(timer);
}

std::vector<double> MainWindowSession::keySteps(Qt::Key first, Qt::Key then) {
    std::vector<double> steps{
        step([first] { QTest::keyClick(grid(), first, Qt::ControlModifier); })};
    for (int page = 0; page < kPages; ++page) {
        steps.push_back(step([then] { QTest::keyClick(grid(), then); }));
    }
    return steps;
}

std::vector<double> MainWindowSession::scrollBarSteps() {
    QScrollBar* bar = grid()->verticalScrollBar();
    std::vector<double> steps{step([bar] { bar->setValue(bar->maximum()); })};
    for (int page = 0; page < kPages; ++page) {
        steps.push_back(step([bar] { bar->triggerAction(QAbstractSlider::SliderPageStepSub); }));
    }
    return steps;
}

QStringList MainWindowSession::currentValues() const {
    QStringList values;
    for (int c = 0; c < results()->fieldNames().size(); ++c) values.append(results()->field(c));
    return values;
}

MainWindowSession::Deletion MainWindowSession::deleteWithDialog() {
    Deletion deletion;
    deletion.values = currentValues();
    const int before = results()->rowCount();
    QElapsedTimer timer;
    qint64 removedAt = -1;
    const QMetaObject::Connection removed = QObject::connect(
        results(), &Query::rowRemoved, [&removedAt, &timer] { removedAt = timer.nsecsElapsed(); });
    ConfirmationAnswer answer;
    guard_.expect(true);
    timer.start();
    answer.start(&timer);
    QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
    paintGrid();
    deletion.keyToGone = milliseconds(timer);
    guard_.expect(false);
    QObject::disconnect(removed);
    if (answer.answeredAt < 0 || removedAt < 0 || results()->rowCount() != before - 1) {
        throw std::runtime_error("Ctrl+Delete did not delete the row");
    }
    deletion.toAnswer = double(answer.answeredAt) / 1e6;
    deletion.answerToRemoved = double(removedAt - answer.answeredAt) / 1e6;
    return deletion;
}

double MainWindowSession::deleteDirectly(QStringList& values) {
    values = currentValues();
    return step([] { results()->deleteCurrent(); });
}

bool MainWindowSession::searchFinds(const QStringList& values, int nameColumn) {
    search(values[nameColumn]);
    for (int r = 0; r < results()->rowCount(); ++r) {
        bool same = true;
        for (int c = 0; c < values.size() && same; ++c) same = results()->value(r, c) == values[c];
        if (same) return true;
    }
    return false;
}

// Deletes kDeletions rows through the dialog and as many directly from the
// result of `typed`, then searches for every one of them again.
QList<ResultRow> MainWindowSession::deletions(const QString& typed, const QString& description) {
    search(typed);
    const int found = results()->rowCount();
    std::vector<double> withDialog, toAnswer, afterAnswer, direct;
    QList<QStringList> deleted;
    for (int k = 0; k < kDeletions; ++k) {
        const Deletion deletion = deleteWithDialog();
        withDialog.push_back(deletion.keyToGone);
        toAnswer.push_back(deletion.toAnswer);
        afterAnswer.push_back(deletion.answerToRemoved);
        deleted.append(deletion.values);
        QStringList values;
        direct.push_back(deleteDirectly(values));
        deleted.append(values);
    }
    search(typed);
    bool gone = results()->rowCount() == found - 2 * kDeletions;
    const int name = results()->fieldIndex(QStringLiteral("Наименование"));
    for (const QStringList& values : deleted) gone = gone && !searchFinds(values, name);

    const double total = median(withDialog);
    const double limit = kDeletionMs;
    return {
        {QStringLiteral("4"),
         QStringLiteral("Ctrl+Delete, OK in the dialog, row gone from the grid; %1 (%2 found), "
                        "median of %3; dialog shown and answered %4, deletion after OK %5; "
                        "searched again: %6")
             .arg(description, Thousands(found))
             .arg(kDeletions)
             .arg(Milliseconds(median(toAnswer)), Milliseconds(median(afterAnswer)),
                  gone ? QStringLiteral("not found") : QStringLiteral("STILL FOUND")),
         Milliseconds(total), QStringLiteral("%1 (goal)").arg(Milliseconds(limit)),
         Ratio(total, limit), total < limit && gone},
        {QStringLiteral("4"),
         QStringLiteral("Query::deleteCurrent and repaint, no dialog; %1, median of %2")
             .arg(description)
             .arg(kDeletions),
         Milliseconds(median(direct)), QStringLiteral("%1 (goal)").arg(Milliseconds(limit)),
         Ratio(median(direct), limit), median(direct) < limit && gone},
    };
}

QList<ResultRow> MainWindowSession::measure(int searches) {
    const QString blanks = QStringLiteral("   ");
    const Memory before = processMemory();
    std::vector<SearchPhases> phases{search(blanks)};
    const Memory afterFirst = processMemory();
    if (results()->rowCount() != kRows) throw std::runtime_error("the blank search missed rows");
    for (int run = 1; run < searches; ++run) phases.push_back(search(blanks));
    const Memory afterAll = processMemory();
    std::vector<double> times;
    for (const SearchPhases& p : phases) times.push_back(p.total);

    const std::vector<double> top = keySteps(Qt::Key_Home, Qt::Key_PageDown);
    const std::vector<double> end = keySteps(Qt::Key_End, Qt::Key_PageUp);
    const std::vector<double> bar = scrollBarSteps();
    QTest::keyClick(grid(), Qt::Key_Home, Qt::ControlModifier);

    const double first = times.front();
    const double typical = median(times);
    const double growth = afterFirst.residentMb - before.residentMb;
    const double peakGrowth = std::max(0.0, afterFirst.peakMb - before.residentMb);
    const double endWorst = *std::max_element(end.begin(), end.end());
    const double barWorst = *std::max_element(bar.begin(), bar.end());
    const double topWorst = *std::max_element(top.begin(), top.end());
    const QString all = QStringLiteral("blanks, vek.mdb 1,000,000 rows, all found");
    QList<ResultRow> rows{
        {QStringLiteral("3"),
         QStringLiteral("ПОИСК clicked to first screen painted and count shown, first search; "
                        "%1; %2")
             .arg(all, describe({phases.front()})),
         Milliseconds(first), QStringLiteral("%1 (goal)").arg(Milliseconds(kFirstScreenMs)),
         Ratio(first, kFirstScreenMs), first <= kFirstScreenMs},
        {QStringLiteral("3"),
         QStringLiteral("the same, median of %1 searches (slowest %2); %3")
             .arg(searches)
             .arg(Milliseconds(*std::max_element(times.begin(), times.end())), describe(phases)),
         Milliseconds(typical), QStringLiteral("%1 (goal)").arg(Milliseconds(kFirstScreenMs)),
         Ratio(typical, kFirstScreenMs), typical <= kFirstScreenMs},
        {QStringLiteral("3"),
         QStringLiteral("resident memory (VmRSS) growth over %1 before the first search; "
                        "peak (VmHWM) growth %2; after %3 searches %4")
             .arg(Megabytes(before.residentMb), Megabytes(peakGrowth))
             .arg(searches)
             .arg(Megabytes(afterAll.residentMb - before.residentMb)),
         Megabytes(growth), QStringLiteral("%1 (goal)").arg(Megabytes(kMostGrowthMb)),
         Ratio(growth, kMostGrowthMb), growth <= kMostGrowthMb},
        {QStringLiteral("3"),
         QStringLiteral("Ctrl+End then %1 x PageUp, full paint after each: slowest step "
                        "(all %2 steps %3); at the top, Ctrl+Home then PageDown: slowest %4")
             .arg(kPages)
             .arg(end.size())
             .arg(Milliseconds(std::accumulate(end.begin(), end.end(), 0.0)),
                  Milliseconds(topWorst)),
         Milliseconds(endWorst), QStringLiteral("%1 (one frame)").arg(Milliseconds(kSmoothStepMs)),
         Ratio(endWorst, kSmoothStepMs), endWorst <= kSmoothStepMs},
        {QStringLiteral("3"),
         QStringLiteral("scroll bar to the end then %1 pages back, full paint after each: "
                        "slowest step (all %2 steps %3)")
             .arg(kPages)
             .arg(bar.size())
             .arg(Milliseconds(std::accumulate(bar.begin(), bar.end(), 0.0))),
         Milliseconds(barWorst), QStringLiteral("%1 (one frame)").arg(Milliseconds(kSmoothStepMs)),
         Ratio(barWorst, kSmoothStepMs), barWorst <= kSmoothStepMs},
    };
    rows += deletions(blanks, QStringLiteral("first row of the 1,000,000-row result"));
    rows += deletions(QStringLiteral("7300 GT"), QStringLiteral("first row of \"7300 GT\""));
    return rows;
}

}  // namespace

QList<ResultRow> MeasureMainWindow(int searches) {
    MainWindowSession session;
    return session.measure(searches);
}

}  // namespace quarrow::bench
