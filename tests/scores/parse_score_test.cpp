#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <QString>

#include "scores/score_keys.h"

namespace quillet {
namespace {

TEST(ParseStoredScore, ReadsTheTextsTheGameWrites) {
    const std::vector<std::pair<const char*, qint32>> cases = {
        {"0", 0},
        {"7", 7},
        {"1800", 1800},
        {"-5", -5},
        {"2147483647", std::numeric_limits<qint32>::max()},
        {"-2147483648", std::numeric_limits<qint32>::min()},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseStoredScore(QString::fromUtf8(text)), expected);
    }
}

TEST(ParseStoredScore, AcceptsLeadingZerosAsDecimal) {
    EXPECT_EQ(parseStoredScore(QStringLiteral("007")), 7);
    EXPECT_EQ(parseStoredScore(QStringLiteral("010")), 10);  // not octal
    EXPECT_EQ(parseStoredScore(QStringLiteral("-0")), 0);
    EXPECT_EQ(parseStoredScore(QStringLiteral("-0042")), -42);
    EXPECT_EQ(parseStoredScore(QStringLiteral("000000000000000000002147483647")),
              std::numeric_limits<qint32>::max());
}

TEST(ParseStoredScore, ReadsAnythingElseAsZero) {
    const std::vector<QString> damaged = {
        QString(),
        QStringLiteral(""),
        QStringLiteral("-"),
        QStringLiteral("--5"),
        QStringLiteral("12abc"),
        QStringLiteral("abc12"),
        QStringLiteral(" 5"),
        QStringLiteral("5 "),
        QStringLiteral("+5"),
        QStringLiteral("5-"),
        QStringLiteral("1e3"),
        QStringLiteral("0x10"),
        QStringLiteral("1.5"),
        QStringLiteral("1,000"),
        QStringLiteral("2147483648"),
        QStringLiteral("-2147483649"),
        QStringLiteral("99999999999999999999999999999999"),
        QStringLiteral("-99999999999999999999999999999999"),
        QString::fromUtf8("\xef\xbc\x95"),       // full-width digit five
        QString::fromUtf8("\xd9\xa5"),           // Arabic-Indic digit five
        QString::fromLatin1("\x01\x02\xff", 3),  // binary bytes
        QString(QChar(u'7')) + QChar(u'\0'),     // a digit, then NUL
        QString::fromUtf8("\xef\xbf\xbd"
                          "5"),  // replacement character from a bad byte
    };
    for (const QString& text : damaged) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(parseStoredScore(text), 0);
    }
}

}  // namespace
}  // namespace quillet
