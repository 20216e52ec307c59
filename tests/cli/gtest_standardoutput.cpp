#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTextStream>
#include <cerrno>
#include <cstdio>

#include "cli/standardoutput.h"

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#define pipe(ends) _pipe(ends, 65536, _O_BINARY)
#define read _read
#define close _close
#define fileno _fileno
#else
#include <unistd.h>
#endif

using zorvan::cli::StandardOutput;

namespace {
const QString Line = QStringLiteral("站长 PR 7\r\n");
}

// Piped into another program or sent to a file, results keep their UTF-8 bytes and CR LF: only a
// console window is written as text.
TEST(StandardOutput, APipeAndAFileTakeTheBytesUnchanged) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    int failure = 0;
    {
        StandardOutput output(ends[1], [&](int error) { failure = error; });
        EXPECT_FALSE(output.toConsole());
        QTextStream(&output) << Line;
    }
    close(ends[1]);
    char buffer[64];
    const auto n = read(ends[0], buffer, sizeof buffer);
    close(ends[0]);
    EXPECT_EQ(QByteArray(buffer, int(n)), Line.toUtf8());
    EXPECT_EQ(failure, 0);

    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("out.txt")));
    std::FILE* file = std::fopen(path.constData(), "wb");
    ASSERT_NE(file, nullptr);
    {
        StandardOutput output(fileno(file), [&](int error) { failure = error; });
        EXPECT_FALSE(output.toConsole());
        QTextStream(&output) << Line;
    }
    std::fclose(file);
    QFile written(dir.filePath(QStringLiteral("out.txt")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), Line.toUtf8());
}

#ifdef Q_OS_WIN
// Windows has no SIGPIPE: a reader that went away must still end the run, told as such.
TEST(StandardOutput, AClosedPipeIsToldAsTheReaderGone) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    int failure = 0;
    StandardOutput output(ends[1], [&](int error) { failure = error; });
    EXPECT_EQ(output.write("x"), -1);
    EXPECT_EQ(failure, EPIPE);
    close(ends[1]);
}
#endif
