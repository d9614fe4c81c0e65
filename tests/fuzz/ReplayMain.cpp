// Runs a fuzz target's entry function once on every file of its corpus (or on the files and folders
// given as arguments), so that the ordinary build checks every kept input on each test run.

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv)
{
    QStringList listPaths;
    for (int i = 1; i < argc; ++i)
        listPaths << QString::fromLocal8Bit(argv[i]);
    if (listPaths.isEmpty())
        listPaths << QStringLiteral(FUZZ_CORPUS_DIR);
    LLVMFuzzerInitialize(&argc, &argv);
    int iRun = 0;
    for (const QString& strPath : qAsConst(listPaths)) {
        QStringList listFiles{strPath};
        if (QFileInfo(strPath).isDir()) {
            listFiles.clear();
            for (const QFileInfo& info : QDir(strPath).entryInfoList(QDir::Files, QDir::Name))
                listFiles << info.filePath();
        }
        for (const QString& strFile : qAsConst(listFiles)) {
            QFile file(strFile);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(strFile));
                return 1;
            }
            const QByteArray baInput = file.readAll();
            // A failing input aborts inside the call; its name is on the line just above the report.
            std::fprintf(stderr, "%s\n", qPrintable(QFileInfo(strFile).fileName()));
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(baInput.constData()),
                                   size_t(baInput.size()));
            ++iRun;
        }
    }
    std::printf("replayed %d inputs\n", iRun);
    return iRun > 0 ? 0 : 1;
}
