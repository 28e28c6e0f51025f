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

QString Places(const QString& text) {  // sorted, so that a translation may reorder them
    QStringList places;
    for (const auto& match : QRegularExpression(QStringLiteral("%[1-9]")).globalMatch(text)) {
        places << match.captured();
    }
    places.sort();
    return places.join(' ');
}

qsizetype Mnemonics(const QString& text) {
    return text.count(QRegularExpression(QStringLiteral("&[^&\\s]")));
}

TEST(Translations, EveryTextHasItsTranslationWithThePlacesAndMnemonicOfItsSource) {
    for (const QString& catalogue : QString(ZK4_TS_FILES).split(' ')) {
        SCOPED_TRACE(catalogue.toStdString());
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
        EXPECT_EQ(lupdate.exitCode(), 0) << said.toStdString();
        EXPECT_FALSE(said.contains(QStringLiteral("warning"), Qt::CaseInsensitive))
            << said.toStdString();

        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString context, source, problems;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) {
                continue;
            }
            if (xml.name() == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                ++messages;
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                const QString translation = xml.readElementText();
                const QString wrong =
                    !type.isEmpty()                               ? type
                    : translation.isEmpty()                       ? QStringLiteral("empty")
                    : Places(source) != Places(translation)       ? QStringLiteral("other places")
                    : Mnemonics(source) != Mnemonics(translation) ? QStringLiteral("mnemonic")
                                                                  : QString();
                if (!wrong.isEmpty()) {
                    problems += QStringLiteral("%1 [%2] %3 -> %4\n")
                                    .arg(wrong, context, source, translation);
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
