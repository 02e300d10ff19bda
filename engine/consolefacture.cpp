#include "consolefacture.h"

#include <sstream>

std::string resoudreReferenceOriginale(Invoice &f, const std::optional<FactureOriginale> &trouvee,
                                       const QString &pays, bool modeEnLigne)
{
    if (trouvee) {
        if (!modeEnLigne)
            f.referenceOriginale = trouvee->mecef_nim + QLatin1Char('-') + trouvee->mecef_tc;
        else if (pays == QStringLiteral("Bénin"))
            f.referenceOriginale = QString(trouvee->mecef_sig).remove(QLatin1Char('-'));
        else if (pays == QStringLiteral("Niger"))
            f.referenceOriginale = trouvee->mecef_nim + QLatin1Char('-') + trouvee->mecef_tc;
        return "Facture retrouvee: " + f.referenceOriginale.toStdString() + "\n";
    }
    if (f.factureOriginale.contains(QLatin1Char('-'))) {
        f.referenceOriginale = f.factureOriginale;
        return "Facture non retrouvee: " + f.referenceOriginale.toStdString() + "\n";
    }
    return {};
}

std::string texteConsoleFacture(const Invoice &f, const TablesReference &tables, const QString &pays)
{
    std::ostringstream console;
    if (f.champsEntete > 3) {
        console << "Utilisateur: " << f.nomOperateur.toStdString() << "\n";
        console << "Client: " << f.nomClient.toStdString() << " IFU: " << f.ifuClient.toStdString() << " , ";
        // The rate as the stream writes a double: 5 prints "5".
        if (!f.codeTaxeSpecifique.isEmpty())
            console << "Taux " << tables.nomTaxeSpecifique.toStdString() << " "
                    << tables.taux(f.codeTaxeSpecifique) << "%\n\n";
        else
            console << tables.nomTaxeSpecifique.toStdString() << " non applicable\n\n";
    }
    for (const InvoiceItem &a : f.articles) {
        const LigneCertifiee l = ligneCertifiee(a, f.codeTaxeSpecifique, pays);
        console << a.designation.toStdString() << " (" << a.quantite.toStdString() << " * "
                << a.prixTTC.toStdString() << ") = " << quatreDecimales(l.ttc).toStdString();
        if (!a.taxeSpecifique.isEmpty() && a.taxeSpecifique != QStringLiteral("0"))
            console << " + TS (" << a.taxeSpecifique.toStdString() << ")";
        if (l.retenue != 0)
            console << " + AIB (" << quatreDecimales(l.retenue).toStdString() << ")";
        console << " = " << quatreDecimales(l.total).toStdString() << "\n";
    }
    return console.str();
}
