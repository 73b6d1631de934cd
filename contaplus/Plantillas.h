#pragma once
// Our own empty ContaPlus tables: the journal template diario.dbf, the
// subaccount template subcuent.dbf and a company's SubCta. dBASE III files,
// Windows ANSI language driver, upper-case column names, with types and
// widths that hold every value the link writes (entry numbers well beyond
// 32767, peseta amounts of the whole 32-bit range, the longest concepts).
// Each file is written whole under a temporary name and then put in place,
// replacing an earlier one.
#include <QString>

// Writes diario.dbf and subcuent.dbf into the folder, created if missing. An
// existing file of either name in another letter case is the one replaced.
// Fails with ERROR_DE_ARCHIVO.
void escribir_plantillas(const QString& carpeta_local);

// Writes an empty company subaccount table (the columns of subcuent.dbf) at
// that path, the folder created if missing. Fails with ERROR_DE_ARCHIVO.
void escribir_subcta(const QString& ruta_local);

// The largest amount a numeric column of our journal template holds (its
// width less the point and the decimals); 0 for a column it lacks or one
// that is not numeric. The name in any case.
double maximo_columna_diario(const QString& columna);
