#pragma once

#include "CatalogueWriter.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace quarrow {

// How the sample names its drivers: as the makers do, in Latin letters (a
// few with a Russian qualifier), or with a Russian word for the kind of
// device after every name ("AMD Mullins IOMMU контроллер").
enum class SampleNames { Maker, LatinAndCyrillic };

// A realistic driver catalogue for benchmarks and tests: drivers for real
// devices taken from pci.ids, with the vendors' own download pages, and
// made-up operating systems, sizes and versions. Listed with listKnown(), it
// holds the real parts alone: the sample catalogue that ships.
class SampleCatalogue {
public:
    // Takes the devices of `pciIds` (the text of pci.ids) whose vendor has a
    // known download page and whose name tells what kind of device it is.
    explicit SampleCatalogue(QByteArrayView pciIds);

    static QStringList columns();
    // The catalogue version on every row.
    static QString version();
    // The model that the search box suggests; a sample always has some.
    static QString exampleModel();

    qsizetype modelCount() const { return models_.size(); }

    // `rows` rows, the same for the same pci.ids and seed. About one row in
    // twenty has no operating systems (no usable driver), one in ten no fast
    // download address.
    void generate(qint64 rows, quint64 seed, const RowSink& insert,
                  SampleNames names = SampleNames::Maker) const;

    // Only what is known: one row for each product name, in the order of
    // pci.ids, at most `rows` of them and the example model's always among
    // them, with its kind of device and its maker's real driver page. The
    // operating systems, size and driver version, which no registry gives,
    // are left empty. Returns the number of rows.
    qint64 listKnown(qint64 rows, const RowSink& insert) const;

private:
    struct Model {
        QString name;
        int kind = 0;
        int vendor = 0;
    };
    QList<Model> models_;
    QList<Model> examples_;  // models whose name holds exampleModel()
};

struct SampleOptions {
    qint64 rows = 5000;
    quint64 seed = 1;
    QString pciIdsPath;  // empty: the system's pci.ids
    SampleNames names = SampleNames::Maker;
    DriverTableLayout layout = DriverTableLayout::TrigramIndexed;
    OutputOptions output;
    // listKnown() instead of generate(): the catalogue that ships.
    bool knownOnly = false;
};

// Writes a sample catalogue and returns its number of rows; throws
// InputError when pci.ids cannot be read or yields no device to list.
qint64 WriteSampleCatalogue(const QString& path, const QString& password,
                            const SampleOptions& options, const BuildProgress& progress = {});

}  // namespace quarrow
