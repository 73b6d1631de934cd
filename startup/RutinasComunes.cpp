// Date and code routines shared by the settings window and the transfer.
// They work by character position only and validate nothing: a text of
// another length is cut all the same, as the date boxes and the staging
// expect.
#include "startup/RutinasComunes.h"

#include "platform/valores/Vb.h"

using vb::Left;
using vb::Mid;
using vb::Right;

QString convertir_fecha(const QString& fecha, qint16 formato_origen, qint16 formato_destino)
{
    const QString& f = fecha;
    // Codes outside 0-3 give the empty text; checked first, since a pair
    // such as (0, 12) would otherwise read as the case 1 -> 2.
    if (formato_origen < 0 || formato_origen > 3 || formato_destino < 0 || formato_destino > 3) return QString("");
    switch (formato_origen * 10 + formato_destino) {
    case 1: return Right(f, 2) + Mid(f, 5, 2) + Left(f, 4);                // 0 -> 1
    case 2: return Right(f, 2) + "/" + Mid(f, 5, 2) + "/" + Left(f, 4);    // 0 -> 2
    case 3: return Right(f, 2) + "/" + Mid(f, 5, 2) + "/" + Mid(f, 3, 2);  // 0 -> 3
    case 10: return Right(f, 4) + Mid(f, 3, 2) + Left(f, 2);               // 1 -> 0
    case 12: return Left(f, 2) + "/" + Mid(f, 3, 2) + "/" + Right(f, 4);   // 1 -> 2
    case 13: return Left(f, 2) + "/" + Mid(f, 3, 2) + "/" + Right(f, 2);   // 1 -> 3
    case 20: return Right(f, 4) + Mid(f, 4, 2) + Left(f, 2);               // 2 -> 0
    case 21: return Left(f, 2) + Mid(f, 4, 2) + Right(f, 4);               // 2 -> 1
    case 23: return Left(f, 6) + Right(f, 2);                              // 2 -> 3
    case 30: return "20" + Right(f, 2) + Mid(f, 4, 2) + Left(f, 2);        // 3 -> 0
    case 31: return Left(f, 2) + Mid(f, 4, 2) + "20" + Right(f, 2);        // 3 -> 1
    case 32: return Left(f, 6) + "20" + Right(f, 2);                       // 3 -> 2
    default: return QString("");  // same layout twice, or a layout that does not exist
    }
}

QString limpiar_nif(QString& texto)
{
    texto = texto.toUpper();
    // Each separator in turn, in this order; removing every occurrence is
    // what dropping the first one until none is left comes to.
    for (const QString& separador :
         {QStringLiteral("/"), QStringLiteral("-"), QStringLiteral("."), QStringLiteral(" ")})
        texto.remove(separador);
    return texto;
}

QString ajustar_subcuenta(const QString& cuenta, qint16 longitud)
{
    // On short codes the two pieces overlap ("4300" with 8 gives "4304300").
    if (longitud == 8) return Left(cuenta, 3) + Right(cuenta, 5);
    if (longitud == 9) return Left(cuenta, 3) + "0" + Right(cuenta, 5);
    return QString("");
}

QDate dma(const QString& aaaammdd)
{
    // Eight digits (every date the tables hold) are the day they name when
    // there is one; anything else goes the runtime's way, which also says
    // why it is not a date.
    if (aaaammdd.size() == 8) {
        int cifras[8];
        bool digitos = true;
        for (int i = 0; i < 8 && digitos; ++i) {
            const char16_t c = aaaammdd.at(i).unicode();
            digitos = c >= u'0' && c <= u'9';
            cifras[i] = c - u'0';
        }
        if (digitos) {
            const QDate d(cifras[0] * 1000 + cifras[1] * 100 + cifras[2] * 10 + cifras[3], cifras[4] * 10 + cifras[5],
                          cifras[6] * 10 + cifras[7]);
            if (d.isValid()) return d;
        }
    }
    // Day first, with the four-digit year of the text: a two-digit year
    // would put 2030 and later back in the 1900s.
    return vb::CDate(Mid(aaaammdd, 7, 2) + "/" + Mid(aaaammdd, 5, 2) + "/" + Left(aaaammdd, 4));
}

QString amd(const QDate& ddmmaa)
{
    // From the short date dd/mm/aaaa, its own four-digit year: the inverse
    // of dma, so the day loop finds the rows of every year it walks.
    const QString corta = vb::FechaCorta(ddmmaa);
    return Right(corta, 4) + Mid(corta, 4, 2) + Left(corta, 2);
}
