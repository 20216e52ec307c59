#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>

#include "domains/domainlist.h"
#include "domains/profile.h"
#include "standinfixture.h"
#include "vocab/text.h"

using namespace zorvan;
using test::fromGbk;
using test::toGbk;

namespace {

using zorvan::S;

const QByteArray Section("section");
const QByteArray Key("url");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void putFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A file kept by hand: comments, other sections, a blank line, odd spacing and mixed line breaks.
const QByteArray HandKept =
    "; kept by hand\r\n"
    "[other]\r\n"
    "url=not.this\r\n"
    "\r\n"
    "  [ SECTION ]  \r\n"
    "; the list\r\n"
    "URL=a.com,b.com\r\n"
    "url=shadowed.com\n"
    "size=3\r\n"
    "\r\n"
    "[tail]\r\n"
    "x=1";

}  // namespace

TEST(ProfileBytes, ReadsFirstMatchingKeyOfMatchingSectionInAnyCase) {
    bool found = false;
    EXPECT_EQ(profileValue(HandKept, Section, Key, &found), QByteArray("a.com,b.com"));
    EXPECT_TRUE(found);
    EXPECT_EQ(profileValue(HandKept, "Section", "SIZE"), QByteArray("3"));
    EXPECT_EQ(profileValue(HandKept, "tail", "x"), QByteArray("1"));
    EXPECT_EQ(profileValue(HandKept, "other", "url"), QByteArray("not.this"));
    // A key before any section, or in another section, is no match.
    EXPECT_EQ(profileValue("url=stray\r\n[other]\r\nurl=x\r\n", Section, Key, &found),
              QByteArray());
    EXPECT_FALSE(found);
}

TEST(ProfileBytes, ValueIsReadAsThePlatformReadsIt) {
    // Blanks, tabs and a stray CR around the value go; blanks inside it stay.
    EXPECT_EQ(profileValue("[section]\r\nurl = a.com , b.com \r\n", Section, Key),
              QByteArray("a.com , b.com"));
    EXPECT_EQ(profileValue("[section]\r\nurl=\ta.com,b.com\t\r\r\n", Section, Key),
              QByteArray("a.com,b.com"));
    // One pair of matching quotes around the whole value goes, and nothing more.
    EXPECT_EQ(profileValue("[section]\r\nurl=\"a.com,b.com\"\r\n", Section, Key),
              QByteArray("a.com,b.com"));
    EXPECT_EQ(profileValue("[section]\r\nurl= 'a.com' \r\n", Section, Key), QByteArray("a.com"));
    EXPECT_EQ(profileValue("[section]\r\nurl=\"\" \"\r\n", Section, Key), QByteArray("\" "));
    EXPECT_EQ(profileValue("[section]\r\nurl=\"a.com'\r\n", Section, Key), QByteArray("\"a.com'"));
    EXPECT_EQ(profileValue("[section]\r\nurl=\"\r\n", Section, Key), QByteArray("\""));
    EXPECT_EQ(profileValue("[section]\r\nurl=a=b\r\n", Section, Key), QByteArray("a=b"));
    bool found = false;
    EXPECT_EQ(profileValue("[section]\r\nurl=\r\n", Section, Key, &found), QByteArray());
    EXPECT_TRUE(found);
    EXPECT_EQ(profileValue("", Section, Key, &found), QByteArray());
    EXPECT_FALSE(found);
    // A line without "=" is not a key line; a bracket without its close is not a section.
    EXPECT_EQ(profileValue("[section]\r\nurl\r\nurl=x\r\n", Section, Key), QByteArray("x"));
    EXPECT_EQ(profileValue("[section\r\nurl=x\r\n", Section, Key, &found), QByteArray());
    EXPECT_FALSE(found);
}

TEST(ProfileBytes, WriteReplacesValueInPlaceAndKeepsEveryOtherByte) {
    QByteArray expected = HandKept;
    expected.replace("URL=a.com,b.com\r\n", "URL=c.com\r\n");
    EXPECT_EQ(withProfileValue(HandKept, Section, Key, "c.com"), expected);

    // A last line without a line break keeps having none.
    EXPECT_EQ(withProfileValue("[section]\r\nurl=old", Section, Key, "new"),
              QByteArray("[section]\r\nurl=new"));
    EXPECT_EQ(withProfileValue("[section]\nurl=old\n", Section, Key, ""),
              QByteArray("[section]\nurl=\n"));
}

TEST(ProfileBytes, WriteAddsMissingKeyOrSection) {
    EXPECT_EQ(withProfileValue("", Section, Key, "a.com,b.com"),
              QByteArray("[section]\r\nurl=a.com,b.com\r\n"));
    EXPECT_EQ(withProfileValue("[other]\r\nx=1", Section, Key, "a"),
              QByteArray("[other]\r\nx=1\r\n[section]\r\nurl=a\r\n"));
    // The key goes after the section's last line, before the blank line that separates it.
    EXPECT_EQ(withProfileValue("[Section]\r\nsize=3\r\n\r\n[tail]\r\n", Section, Key, "a"),
              QByteArray("[Section]\r\nsize=3\r\nurl=a\r\n\r\n[tail]\r\n"));
    EXPECT_EQ(withProfileValue("[section]", Section, Key, "a"),
              QByteArray("[section]\r\nurl=a\r\n"));
}

TEST(ProfileFile, MissingFileReadsEmptyAndIsCreatedOnWrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    ProfileRead read = readProfileValue(path, Section, Key);
    EXPECT_EQ(read.status, ProfileStatus::Missing);
    EXPECT_TRUE(read.value.isEmpty());
    EXPECT_EQ(writeProfileValue(path, Section, Key, "a.com,b.com"), ProfileStatus::Ok);
    EXPECT_EQ(fileBytes(path), QByteArray("[section]\r\nurl=a.com,b.com\r\n"));
    EXPECT_EQ(writeProfileValue(path, Section, Key, "c.com"), ProfileStatus::Ok);
    EXPECT_EQ(fileBytes(path), QByteArray("[section]\r\nurl=c.com\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("config.ini")});
}

TEST(ProfileFile, FileThatCannotBeReadIsNeverRewritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    putFile(path, HandKept);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    QFile probe(path);
    if (probe.open(QIODevice::ReadOnly)) GTEST_SKIP() << "running with rights that read any file";

    EXPECT_EQ(readProfileValue(path, Section, Key).status, ProfileStatus::Unreadable);
    EXPECT_EQ(writeProfileValue(path, Section, Key, "c.com"), ProfileStatus::Unreadable);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(fileBytes(path), HandKept);
}

TEST(ProfileFile, DirectoryInPlaceOfTheFileIsLeftAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    ASSERT_TRUE(QDir().mkdir(path));
    EXPECT_EQ(readProfileValue(path, Section, Key).status, ProfileStatus::Unreadable);
    EXPECT_EQ(writeProfileValue(path, Section, Key, "a"), ProfileStatus::Unreadable);
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(ProfileFile, SocketInPlaceOfTheFileIsNeverRewritten) {
    // Something that exists but no one, not even root, can open for reading.
    QTemporaryDir dir(QStringLiteral("/tmp/zp-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    ASSERT_LT(size_t(native.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    EXPECT_EQ(readProfileValue(path, Section, Key).status, ProfileStatus::Unreadable);
    EXPECT_EQ(writeProfileValue(path, Section, Key, "a.com"), ProfileStatus::Unreadable);
    bool readable = true;
    EXPECT_TRUE(readDomainList(path, &readable).isEmpty());
    EXPECT_FALSE(readable);
    EXPECT_FALSE(writeDomainListValue(path, QStringLiteral("a.com")));
    EXPECT_FALSE(QFileInfo(path).isFile());
    EXPECT_TRUE(QFileInfo::exists(path));
    ::close(fd);
}

TEST(ProfileFile, WriteThatRunsOutOfSpaceKeepsTheOldFileWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    putFile(path, "[section]\r\nurl=a.com\r\n");
    // A file size limit fails the write the way a full disk does.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const ProfileStatus status = writeProfileValue(path, Section, Key, QByteArray(500, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_EQ(status, ProfileStatus::WriteFailed);
    EXPECT_EQ(fileBytes(path), QByteArray("[section]\r\nurl=a.com\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("config.ini")});
}

TEST(DomainListFile, ChineseValueIsCodePage936BothWays) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    // 丂 exists only in GBK, not in strict GB2312.
    const QString value = S("中文.com,丂.cn");
    ASSERT_TRUE(writeDomainListValue(path, value));
    EXPECT_EQ(fileBytes(path), QByteArray("[section]\r\nurl=") + toGbk(value) + "\r\n");
    EXPECT_EQ(fileBytes(path).count("\x81\x40"), 1);

    putFile(path, QByteArray("[section]\r\nurl=") + toGbk(S("丂丂.com,例子.cn")) + "\r\n");
    EXPECT_EQ(readDomainList(path), (QStringList{S("丂丂.com"), S("例子.cn")}));
}

TEST(DomainListFile, ValueLongerThan254BytesIsReadWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    QStringList domains;
    for (int i = 0; i < 40; ++i) domains.append(QStringLiteral("site%1.example.com").arg(i));
    const QString value = domains.join(QLatin1Char(','));
    ASSERT_GT(value.size(), 700);
    ASSERT_TRUE(writeDomainListValue(path, value));
    bool readable = false;
    EXPECT_EQ(readDomainList(path, &readable), domains);
    EXPECT_TRUE(readable);
}

TEST(DomainListFile, OtherSectionsAndCommentsSurviveAListWrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    putFile(path, HandKept);
    ASSERT_TRUE(writeDomainListValue(path, S("例.com")));
    QByteArray expected = HandKept;
    expected.replace(QByteArray("URL=a.com,b.com"),
                     QByteArray(QByteArray("URL=") + toGbk(S("例.com"))));
    EXPECT_EQ(fileBytes(path), expected);
    EXPECT_EQ(fromGbk(profileValue(fileBytes(path), "other", "url")), S("not.this"));
}
