#pragma once

#include "CatalogueWriter.h"

#include <QByteArray>
#include <QMap>
#include <QString>

namespace quarrow::test {

// The Jet catalogues of tests/fixtures/jet (see its README), used as they
// are: `name` as "vek-jet4.mdb" or "access-written/testV1997.mdb".
QString JetFixture(const QString& name);
QByteArray JetFixtureBytes(const QString& name);

// The rows a fixture's .tsv says its table holds: "\N" read as an absent
// value (a null QString), "\\", "\t", "\n" and "\r" unescaped.
CatalogueTable JetFixtureTable(const QString& tsvName);

// Copies a fixture into `folder` under `name` (vek.mdb, dev.mdb), writable
// as a copied file is.
void CopyJetFixture(const QString& fixture, const QString& folder, const QString& name);

// The rows of `table` in the catalogue at `path` (Quarrow's format), in
// the engine's order, an absent value as a null QString.
CatalogueTable ReadCatalogueTable(const QString& path, const QString& table);

// The first difference between two tables, an absent value told apart from
// an empty one (QString's comparison does not); empty when they are equal.
QString TableDifference(const CatalogueTable& expected, const CatalogueTable& actual);

// Whether the catalogue at `path` opens with `password`, as the data layer
// checks it.
bool CatalogueTakesPassword(const QString& path, const QString& password);

// Every file under `folder` (in subfolders too) by its path relative to it,
// with its bytes: what a test compares to tell that a folder is as it was.
QMap<QString, QByteArray> FolderContents(const QString& folder);

// The built converter: quarrow-catalogue, or the stand-in that the suites
// make misbehave (stand_in_converter).
QString BuiltCatalogueTool();
QString StandInConverter();

}  // namespace quarrow::test
