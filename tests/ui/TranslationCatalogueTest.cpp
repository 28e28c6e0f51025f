// The catalogues against the sources: lupdate runs over the sources the build translates, into
// a copy of each catalogue, and every text must come out with its translation. A text added
// in English anywhere without one fails here, by name.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <functional>

namespace {

struct Message {
    QString context, source, translation, type;  // type: "", "unfinished", "vanished", "obsolete"
};

std::vector<Message> ReadCatalogue(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            messages.push_back({context, {}, {}, {}});
        } else if (xml.name() == QLatin1String("source")) {
            messages.back().source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            messages.back().type = xml.attributes().value(QLatin1String("type")).toString();
            messages.back().translation = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

// The catalogue as lupdate makes it from today's sources, from a copy of the one in the tree.
std::vector<Message> UpdatedCatalogue(const QString& catalogue, const QTemporaryDir& dir) {
    const QString copy = dir.filePath(QFileInfo(catalogue).fileName());
    EXPECT_TRUE(QFile::copy(catalogue, copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    lupdate.start(QStringLiteral(ZK4_LUPDATE),
                  QString(ZK4_LUPDATE_OPTIONS).split(' ') +
                      QStringList{QStringLiteral("@" ZK4_TRANSLATED_SOURCES), "-ts", copy});
    EXPECT_TRUE(lupdate.waitForFinished(120000));
    EXPECT_EQ(lupdate.exitCode(), 0);
    // A call lupdate cannot place (a tr() outside a class it knows) is a text nobody sees.
    const QString said =
        QString::fromLocal8Bit(lupdate.readAllStandardError() + lupdate.readAllStandardOutput());
    EXPECT_FALSE(said.contains(QStringLiteral("warning"), Qt::CaseInsensitive))
        << said.toStdString();
    return ReadCatalogue(copy);
}

std::vector<QString> Catalogues() {
    std::vector<QString> out;
    for (const QString& path : QString(ZK4_TS_FILES).split(' ')) {
        out.push_back(path);
    }
    return out;
}

TEST(Translations, EveryTextHasItsTranslation) {
    for (const QString& catalogue : Catalogues()) {
        SCOPED_TRACE(catalogue.toStdString());
        const QTemporaryDir dir;
        const std::vector<Message> messages = UpdatedCatalogue(catalogue, dir);
        EXPECT_GT(messages.size(), 100u);  // the sources were read
        QStringList missing;
        for (const Message& m : messages) {
            if (!m.type.isEmpty() || m.translation.isEmpty()) {
                missing << QStringLiteral("%1 [%2] %3")
                               .arg(m.type.isEmpty() ? QStringLiteral("empty") : m.type, m.context,
                                    m.source);
            }
        }
        EXPECT_EQ(missing.join('\n').toStdString(), "")
            << "translate them: cmake --build <build> --target update_translations, then edit "
            << catalogue.toStdString();
    }
}

// What a translation must keep of its source.
QString Places(const QString& text) {
    QStringList places;
    for (const auto& match : QRegularExpression(QStringLiteral("%[1-9]")).globalMatch(text)) {
        places << match.captured();
    }
    places.sort();
    return places.join(' ');
}
int Mnemonics(const QString& text) {
    return static_cast<int>(text.count(QRegularExpression(QStringLiteral("&[^&\\s]"))));
}

TEST(Translations, TranslationsKeepThePlacesAndTheMnemonicOfTheirSource) {
    const struct {
        const char* rule;
        std::function<bool(const QString& source, const QString& translation)> kept;
    } rules[] = {
        {"the same places %1 ... %9",
         [](const QString& s, const QString& t) { return Places(s) == Places(t); }},
        {"one mnemonic where the source has one",
         [](const QString& s, const QString& t) { return Mnemonics(s) == Mnemonics(t); }},
        {"a label's colon",
         [](const QString& s, const QString& t) { return s.endsWith(':') == t.endsWith(':'); }},
    };
    for (const QString& catalogue : Catalogues()) {
        for (const Message& m : ReadCatalogue(catalogue)) {
            for (const auto& rule : rules) {
                EXPECT_TRUE(m.translation.isEmpty() || rule.kept(m.source, m.translation))
                    << rule.rule << ": " << m.source.toStdString() << " -> "
                    << m.translation.toStdString();
            }
        }
    }
}

}  // namespace
