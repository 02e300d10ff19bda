#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

// A throw-away installation folder holding copies of the programs, an app.xml and the invoice
// files, as the users have it; the programs run with it as their working directory.
class InstallationRendu
{
public:
    bool valide() const { return m_dossier.isValid(); }
    QString chemin(const QString &nom) const { return m_dossier.filePath(nom); }

    // The program's file, ".exe" on Windows; it is started by its name without the suffix.
    bool copierProgramme(const QString &nom)
    {
        const QString fichier = nom + QStringLiteral(ORVANE_SUFFIXE_EXE);
        const QString cible = chemin(fichier);
        return QFile::copy(QStringLiteral(ORVANE_BIN_DIR "/") + fichier, cible) &&
               QFile::setPermissions(cible, QFile::permissions(cible) | QFileDevice::ExeOwner);
    }

    bool ecrire(const QString &nom, const QByteArray &contenu)
    {
        QFile f(chemin(nom));
        return f.open(QIODevice::WriteOnly) && f.write(contenu) == contenu.size();
    }

    QByteArray lire(const QString &nom) const
    {
        QFile f(chemin(nom));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    struct Sortie
    {
        bool fini = false;
        int code = -1;
        QString console;
    };

    // Runs a program of the folder to its end (bounded), working directory = the folder.
    Sortie lancer(const QString &programme, const QStringList &arguments, int delaiMs = 30000) const
    {
        QProcess p;
        p.setWorkingDirectory(m_dossier.path());
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(chemin(programme), arguments);
        Sortie s;
        s.fini = p.waitForFinished(delaiMs);
        if (!s.fini) {
            p.kill();
            p.waitForFinished();
        }
        s.code = p.exitCode();
        s.console = QString::fromUtf8(p.readAllStandardOutput());
        return s;
    }

private:
    QTemporaryDir m_dossier;
};

// Output of a helper tool (pdftotext, pdftoppm, zbarimg), empty when it fails.
inline QString sortieOutil(const QString &outil, const QStringList &arguments)
{
    QProcess p;
    p.start(outil, arguments);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Text of a PDF file with every run of white space (line ends included) made one space and the
// typographic ligatures written out, so that fragments can be looked for whatever the page layout.
inline QString textePdf(const QString &chemin)
{
    QString texte =
        sortieOutil(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), chemin, QStringLiteral("-")});
    texte.replace(QChar(0xFB01), QStringLiteral("fi")).replace(QChar(0xFB02), QStringLiteral("fl"));
    return texte.simplified();
}

// Right edges, in points, of the ticket's item table lines (the lines holding three "|") of a PDF's first
// page: with a fixed-pitch font and padded columns they are all the same.
inline QList<double> bordsDroitsColonnes(const QString &chemin)
{
    const QString html =
        sortieOutil(QStringLiteral("pdftotext"),
                    {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                     QStringLiteral("1"), chemin, QStringLiteral("-")});
    static const QRegularExpression mot(QStringLiteral(
        "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"[0-9.]+\">([^<]*)</word>"));
    QMap<QString, QPair<int, double>> lignes; // yMin -> (number of "|", right edge)
    for (auto m = mot.globalMatch(html); m.hasNext();) {
        const auto r = m.next();
        auto &ligne = lignes[r.captured(2)];
        ligne.first += r.captured(4).count(QLatin1Char('|'));
        ligne.second = std::max(ligne.second, r.captured(3).toDouble());
    }
    QList<double> bords;
    for (const auto &ligne : lignes) {
        if (ligne.first == 3)
            bords.append(ligne.second);
    }
    return bords;
}

// Texts of the QR codes found on the first page of a PDF rendered at 300 dpi.
inline QStringList codesQrPdf(const QString &chemin, const QString &dossierTravail)
{
    const QString image = dossierTravail + QStringLiteral("/page");
    sortieOutil(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                 QStringLiteral("-singlefile"), chemin, image});
    const QString codes =
        sortieOutil(QStringLiteral("zbarimg"),
                    {QStringLiteral("-q"), QStringLiteral("--raw"), image + QStringLiteral(".png")});
    return codes.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Number of pages of a PDF, 0 when it cannot be read.
inline int pagesPdf(const QString &chemin)
{
    const QString info = sortieOutil(QStringLiteral("pdfinfo"), {chemin});
    for (const QString &ligne : info.split(QLatin1Char('\n'))) {
        if (ligne.startsWith(QStringLiteral("Pages:")))
            return ligne.mid(6).trimmed().toInt();
    }
    return 0;
}

// A PDF file that its writer has finished.
inline bool pdfTermine(const QString &chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.readAll().trimmed().endsWith("%%EOF");
}
