#include "SkinFixtures.h"

#include <zip.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>
#include <stdexcept>

namespace quarrow::test {

QString ShineSourceFolder() { return QStringLiteral(QUARROW_SHINE_SOURCE); }

void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

SkinFileList ShineFiles() {
    SkinFileList files;
    const QDir dir(ShineSourceFolder());
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot read the Shine skin");
        files.append({name, file.readAll()});
    }
    return files;
}

QByteArray ShineFile(const QString& name) {
    for (const auto& file : ShineFiles()) {
        if (file.first == name) return file.second;
    }
    throw std::runtime_error("Shine has no " + name.toStdString());
}

SkinFileList ShineWithOptions(const QByteArray& options) {
    SkinFileList files = ShineFiles();
    for (auto& file : files) {
        if (file.first == u"Options.dat") file.second = options;
    }
    return files;
}

QByteArray ShineOptionsWith(const QString& group, const QString& line) {
    const QStringList lines =
        QString::fromUtf8(ShineFile(QStringLiteral("Options.dat"))).split(u'\n');
    const QString header = u'[' + group + u']';
    const QString key = line.section(u'=', 0, 0) + u'=';
    QStringList result;
    bool inGroup = false;
    bool found = false;
    for (const QString& current : lines) {
        if (current.startsWith(u'[')) {
            inGroup = current.trimmed() == header;
            if (inGroup) {
                found = true;
                if (!line.isEmpty()) result << current << line;
                continue;
            }
        }
        if (inGroup && (line.isEmpty() || current.startsWith(key))) continue;
        result << current;
    }
    if (!found && !line.isEmpty()) result << header << line;
    return result.join(u'\n').toUtf8();
}

void WriteSkinFolder(const QString& folder, const SkinFileList& files) {
    for (const auto& file : files)
        WriteFile(folder + QStringLiteral("/Shine/") + file.first, file.second);
}

void WriteSkinArchive(const QString& path, const SkinFileList& files) {
    QDir().mkpath(QFileInfo(path).path());
    int code = 0;
    zip_t* archive = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (archive == nullptr) throw std::runtime_error("cannot create " + path.toStdString());
    for (const auto& file : files) {
        // libzip reads the buffers when the archive is closed: keep them alive.
        zip_source_t* source = zip_source_buffer(archive, file.second.constData(),
                                                 static_cast<zip_uint64_t>(file.second.size()), 0);
        if (source == nullptr ||
            zip_file_add(archive, file.first.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            throw std::runtime_error("cannot add to " + path.toStdString());
        }
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

}  // namespace quarrow::test
