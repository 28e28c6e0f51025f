// The catalogues against the sources: lupdate runs over the sources the build translates into
// a copy of each catalogue, and every text must come out translated, keeping its source's places
// %1 ... %9 and its mnemonic. A text added in English anywhere without one fails here, by name.
#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

// The places %1 ... %9 a text fills (sorted: a translation may reorder them) and its mnemonics.
QString Marks(const QString& text) {
    QStringList marks;
    for (const auto& match :
         QRegularExpression(QStringLiteral("%[1-9]|&[^&\\s]")).globalMatch(text)) {
        marks << match.captured().left(match.captured().startsWith('&') ? 1 : 2);
    }
    marks.sort();
    return marks.join(' ');
}

TEST(Translations, EveryTextHasItsTranslationWithThePlacesAndMnemonicOfItsSource) {
    for (const QString& catalogue : QString(ZK4_TS_FILES).split(' ')) {
        const QTemporaryDir dir;
        const QString copy = dir.filePath(QFileInfo(catalogue).fileName());
        ASSERT_TRUE(QFile::copy(catalogue, copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::MergedChannels);
        lupdate.start(QStringLiteral(ZK4_LUPDATE),
                      QString(ZK4_LUPDATE_OPTIONS).split(' ') +
                          QStringList{QStringLiteral("@" ZK4_TRANSLATED_SOURCES), "-ts", copy});
        ASSERT_TRUE(lupdate.waitForFinished(120000));
        // A call lupdate cannot place (a tr() outside a class it knows) is a text nobody sees.
        const QString said = QString::fromLocal8Bit(lupdate.readAll());
        EXPECT_EQ(std::pair(lupdate.exitCode(), said.contains("warning", Qt::CaseInsensitive)),
                  std::pair(0, false))
            << said.toStdString();

        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString source, problems;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) {
                continue;
            }
            if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                ++messages;
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                const QString translation = xml.readElementText();
                // Unfinished or obsolete, empty, or with other places or mnemonics.
                if (!type.isEmpty() || translation.isEmpty() ||
                    Marks(source) != Marks(translation)) {
                    problems += QStringLiteral("%1 %2 -> %3\n").arg(type, source, translation);
                }
            }
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_GT(messages, 100);  // the sources were read
        EXPECT_EQ(problems.toStdString(), "")
            << "cmake --build <build> --target update_translations, then translate them in "
            << catalogue.toStdString();
    }
}

}  // namespace
