/*
** The I/O floor of a year's transfer: what the transfer cannot help reading
** and writing, done with nothing between the program and the files but the
** sqlite3 C API and positioned writes.
**
** On a copy of an installation it makes the selections the transfer makes
** (the range's receipts in caja, the payment's invoice, the customer files,
** the range's invoices in emi, their open bills, the staged invoice, the
** services when sales are split), stages the same rows in cajj, fac, fal and
** edep of enlace.MDB, and sets the same marks (CajaTur, EmiCie, FacEst,
** EdepEstado, CajEstado). The posting rules are not done again: the journal
** and subaccount records come from a reference run of the transfer (its
** Xdiario.dbf and XSubCta.dbf), and each unit writes the next entry of the
** reference journal, preceded by the subaccounts it needs, record by record
** as the transfer does (record and end mark, then date and count in the
** header). The output files are therefore the reference's, but for the date
** in the header.
**
** Durability as the transfer's: units (a receipt, an invoice staged, an
** invoice posted, a day's deposits, a day's cash) in groups; a group ends
** with an fsync of both dBASE files and then one commit of enlace.MDB with
** synchronous=FULL that records both counts. Receipts are marked in caja
** once their group has committed.
**
** Usage: bench_suelo RAIZ XDIARIO XSUBCTA DESDE HASTA GRUPO
**   RAIZ     the --unidades folder of the installation (drive C)
**   XDIARIO  XSUBCTA  the reference run's journal and subaccount files
**   DESDE HASTA       the range, aaaammdd
**   GRUPO    "150ms": a group closes once it has run that long;
**            "N": a group closes every N units ("1": a commit per unit)
*/
#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <sqlite3.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static void fallar(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    fprintf(stderr, "bench_suelo: ");
    vfprintf(stderr, fmt, ap);
    fprintf(stderr, "\n");
    va_end(ap);
    exit(1);
}

static double ahora_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* ---- SQLite ------------------------------------------------------------ */

static void ejecutar(sqlite3* db, const char* sql)
{
    char* err = 0;
    if (sqlite3_exec(db, sql, 0, 0, &err) != SQLITE_OK) fallar("%s: %s", sql, err);
}

static sqlite3_stmt* preparar(sqlite3* db, const char* sql)
{
    sqlite3_stmt* st = 0;
    if (sqlite3_prepare_v2(db, sql, -1, &st, 0) != SQLITE_OK) {
        fallar("%s: %s", sql, sqlite3_errmsg(db));
    }
    return st;
}

static int paso(sqlite3_stmt* st)
{
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        fallar("%s: %s", sqlite3_sql(st), sqlite3_errmsg(sqlite3_db_handle(st)));
    }
    return rc == SQLITE_ROW;
}

static void hecho(sqlite3_stmt* st)
{
    while (paso(st)) {
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
}

static void texto(sqlite3_stmt* st, int i, const char* z)
{
    sqlite3_bind_text(st, i, z, -1, SQLITE_TRANSIENT);
}

/* The leading number of a text, as val() of the hotel's queries. */
static void funcion_val(sqlite3_context* c, int n, sqlite3_value** v)
{
    const unsigned char* z = sqlite3_value_text(v[0]);
    (void)n;
    sqlite3_result_double(c, z ? strtod((const char*)z, 0) : 0.0);
}

static sqlite3* abrir(const char* raiz, const char* archivo)
{
    char ruta[4096];
    sqlite3* db = 0;
    snprintf(ruta, sizeof ruta, "%s/C/quelmira/%s", raiz, archivo);
    if (sqlite3_open_v2(ruta, &db, SQLITE_OPEN_READWRITE, 0) != SQLITE_OK) {
        fallar("no se puede abrir %s: %s", ruta, sqlite3_errmsg(db));
    }
    sqlite3_busy_timeout(db, 10000);
    ejecutar(db, "PRAGMA journal_mode=WAL");
    ejecutar(db, "PRAGMA synchronous=NORMAL");
    sqlite3_create_function(db, "val", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, 0, funcion_val, 0, 0);
    return db;
}

/* A column as a NUL-terminated copy in `b` (empty for Null). */
static const char* col(sqlite3_stmt* st, int i, char* b, size_t n)
{
    const unsigned char* z = sqlite3_column_text(st, i);
    snprintf(b, n, "%s", z ? (const char*)z : "");
    return b;
}

/* ---- Texts as the transfer handles them ------------------------------- */

typedef struct Cadena {
    char z[64];
} Cadena;

static Cadena izquierda_derecha(const char* z, int izq, int der, const char* medio)
{
    Cadena r;
    int n = (int)strlen(z);
    int a = izq < n ? izq : n;
    int b = der < n ? der : n;
    snprintf(r.z, sizeof r.z, "%.*s%s%s", a, z, medio, z + n - b);
    return r;
}

static Cadena ajustar_subcuenta(const char* z, int longitud)
{
    Cadena r;
    if (longitud == 8) return izquierda_derecha(z, 3, 5, "");
    if (longitud == 9) return izquierda_derecha(z, 3, 5, "0");
    r.z[0] = 0;
    return r;
}

static struct {
    char empresa[32], diario[32], pasantes[32], agencias[32], empresas[32];
    char depositos[32], iva[32], ventas_defecto[32];
    int digitos, todos_pasantes, separar_ventas, sin_caja, separar_depositos;
    int pasantes_aaaamm;
} aj;

static Cadena a_digitos(const char* z)
{
    Cadena r;
    if (aj.digitos == 8 && strlen(z) != 8) return ajustar_subcuenta(z, 8);
    snprintf(r.z, sizeof r.z, "%s", z);
    return r;
}

static int logico(sqlite3_stmt* st, int i)
{
    return sqlite3_column_type(st, i) != SQLITE_NULL && sqlite3_column_double(st, i) != 0;
}

static void leer_ajustes(sqlite3* cc)
{
    sqlite3_stmt* st = preparar(cc, "SELECT ccEmp, ccDia, ccdigitos, ccPas, ccAge, ccNa, ccGru, ccIva, cctodos, "
                                    "ccventas, ccop1, ccdep, AAAAMM FROM cc");
    if (!paso(st)) fallar("no hay fila en cc");
    col(st, 0, aj.empresa, 32);
    col(st, 1, aj.diario, 32);
    aj.digitos = sqlite3_column_int(st, 2);
    col(st, 3, aj.pasantes, 32);
    col(st, 4, aj.agencias, 32);
    col(st, 5, aj.empresas, 32);
    col(st, 6, aj.depositos, 32);
    col(st, 7, aj.iva, 32);
    aj.todos_pasantes = logico(st, 8);
    aj.separar_ventas = logico(st, 9);
    aj.sin_caja = !logico(st, 10);
    aj.separar_depositos = logico(st, 11);
    aj.pasantes_aaaamm = logico(st, 12);
    sqlite3_finalize(st);
    snprintf(aj.ventas_defecto, 32, "705%.*s", aj.digitos - 3, "999999999");
}

/* ---- Customer subaccounts --------------------------------------------- */

static sqlite3_stmt *st_cli, *st_agen, *st_na;

/* The account column of the customer's row, or the walk-in account. */
static Cadena cuenta_propia(sqlite3_stmt* st, const char* cliente)
{
    Cadena r;
    char b[64];
    snprintf(r.z, sizeof r.z, "%s", aj.pasantes);
    texto(st, 1, cliente);
    if (paso(st) && col(st, 0, b, sizeof b)[0]) snprintf(r.z, sizeof r.z, "%s", b);
    sqlite3_reset(st);
    return r;
}

static Cadena cuenta_empresa(const char* cliente)
{
    Cadena r;
    snprintf(r.z, sizeof r.z, "%s", aj.pasantes);
    texto(st_na, 1, cliente);
    if (paso(st_na) && sqlite3_column_type(st_na, 0) != SQLITE_NULL) {
        char cta[64], age[64];
        col(st_na, 0, cta, sizeof cta);
        col(st_na, 2, age, sizeof age);
        if (cta[0]) {
            snprintf(r.z, sizeof r.z, "%s", cta);
        } else if (logico(st_na, 1) && age[0]) {
            Cadena a;
            sqlite3_reset(st_na);
            a = cuenta_propia(st_agen, age);
            if (a.z[0]) r = a;
        }
    }
    sqlite3_reset(st_na);
    return r;
}

/* The customer subaccount of an invoice (kind, customer, date); 0 for a
** kind other than 0, 1 or 2. */
static int subcuenta_factura(int tipo, const char* cliente, const char* fecha, Cadena* r)
{
    char recortado[64];
    const char *a = cliente, *b = cliente + strlen(cliente);
    while (*a == ' ') a++;
    while (b > a && b[-1] == ' ') b--;
    snprintf(recortado, sizeof recortado, "%.*s", (int)(b - a), a);
    if (tipo == 0) {
        *r = cuenta_propia(st_cli, cliente);
        if (!aj.todos_pasantes && aj.pasantes_aaaamm && strcmp(r->z, aj.pasantes) == 0) {
            snprintf(r->z, sizeof r->z, "%.5s%.4s", aj.pasantes, strlen(fecha) > 2 ? fecha + 2 : "");
        }
    } else if (tipo == 1) {
        *r = cuenta_propia(st_agen, cliente);
        if (!aj.todos_pasantes && strcmp(r->z, aj.pasantes) == 0) {
            snprintf(r->z, sizeof r->z, "%s%s", aj.agencias, recortado);
        }
    } else if (tipo == 2) {
        *r = cuenta_empresa(cliente);
        if (!aj.todos_pasantes && strcmp(r->z, aj.pasantes) == 0) {
            snprintf(r->z, sizeof r->z, "%s%s", aj.empresas, recortado);
        }
    } else {
        return 0;
    }
    return 1;
}

/* ---- dBASE files ------------------------------------------------------ */

typedef struct Dbf {
    unsigned char* datos; /* the reference file */
    long tamano;
    int cabecera, longitud, registros;
    int fd; /* the file written */
    int escritos;
} Dbf;

static void leer_referencia(const char* ruta, Dbf* f)
{
    FILE* in = fopen(ruta, "rb");
    if (!in) fallar("no se puede leer %s: %s", ruta, strerror(errno));
    fseek(in, 0, SEEK_END);
    f->tamano = ftell(in);
    rewind(in);
    f->datos = malloc(f->tamano ? f->tamano : 1);
    if (fread(f->datos, 1, f->tamano, in) != (size_t)f->tamano) fallar("no se puede leer %s", ruta);
    fclose(in);
    if (f->tamano < 32) fallar("%s no es un fichero dBASE", ruta);
    f->registros = (int)(f->datos[4] | f->datos[5] << 8 | f->datos[6] << 16 | (uint32_t)f->datos[7] << 24);
    f->cabecera = f->datos[8] | f->datos[9] << 8;
    f->longitud = f->datos[10] | f->datos[11] << 8;
    if (f->cabecera + (long)f->registros * f->longitud > f->tamano) fallar("%s está cortado", ruta);
}

/* Offset and length of a field in the records. */
static int campo(const Dbf* f, const char* nombre, int* longitud)
{
    int desplazamiento = 1, p;
    for (p = 32; p + 32 <= f->cabecera && f->datos[p] != 0x0D; p += 32) {
        if (strncmp((const char*)f->datos + p, nombre, 11) == 0) {
            *longitud = f->datos[p + 16];
            return desplazamiento;
        }
        desplazamiento += f->datos[p + 16];
    }
    fallar("no hay campo %s", nombre);
    return 0;
}

static void escribir_en(int fd, const void* b, size_t n, off_t donde)
{
    if (pwrite(fd, b, n, donde) != (ssize_t)n) fallar("pwrite: %s", strerror(errno));
}

/* The file as its template: the reference's header, no records. */
static void crear_dbf(const char* ruta, Dbf* f)
{
    unsigned char* cab = malloc(f->cabecera + 1);
    f->fd = open(ruta, O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (f->fd < 0) fallar("no se puede crear %s: %s", ruta, strerror(errno));
    memcpy(cab, f->datos, f->cabecera);
    memset(cab + 4, 0, 4);
    cab[f->cabecera] = 0x1A;
    escribir_en(f->fd, cab, f->cabecera + 1, 0);
    free(cab);
    if (fsync(f->fd)) fallar("fsync: %s", strerror(errno));
    f->escritos = 0;
}

/* Appends the next reference record: the record and the end mark, then
** the header's date and count. */
static void anadir(Dbf* f)
{
    unsigned char reg[4096], cab[7];
    time_t t = time(0);
    struct tm hoy;
    uint32_t n;
    if (f->escritos >= f->registros) fallar("no quedan registros de referencia");
    if (f->longitud + 1 > (int)sizeof reg) fallar("registro demasiado largo");
    memcpy(reg, f->datos + f->cabecera + (long)f->escritos * f->longitud, f->longitud);
    reg[f->longitud] = 0x1A;
    escribir_en(f->fd, reg, f->longitud + 1, f->cabecera + (off_t)f->escritos * f->longitud);
    localtime_r(&t, &hoy);
    n = (uint32_t)(f->escritos + 1);
    cab[0] = (unsigned char)(hoy.tm_year);
    cab[1] = (unsigned char)(hoy.tm_mon + 1);
    cab[2] = (unsigned char)hoy.tm_mday;
    cab[3] = n & 0xFF;
    cab[4] = n >> 8 & 0xFF;
    cab[5] = n >> 16 & 0xFF;
    cab[6] = n >> 24 & 0xFF;
    escribir_en(f->fd, cab, 7, 1);
    f->escritos++;
}

static Dbf diario, subcuentas;
static int asien_off, asien_len, subcta_off, subcta_len, cod_off, cod_len;

/* The text of a field, blanks trimmed. */
static void valor(const Dbf* f, int registro, int off, int len, char* b)
{
    const char* z = (const char*)f->datos + f->cabecera + (long)registro * f->longitud + off;
    while (len > 0 && z[0] == ' ') {
        z++;
        len--;
    }
    while (len > 0 && z[len - 1] == ' ') len--;
    memcpy(b, z, len);
    b[len] = 0;
}

/* Where each code is in the reference XSubCta: a small open hash. */
static struct {
    char cod[16];
    int registro;
} * codigos;
static int n_codigos;

static unsigned hash(const char* z)
{
    unsigned h = 2166136261u;
    while (*z) h = (h ^ (unsigned char)*z++) * 16777619u;
    return h;
}

static void indexar_subcuentas(void)
{
    int i;
    n_codigos = 1;
    while (n_codigos < 2 * subcuentas.registros + 2) n_codigos *= 2;
    codigos = calloc(n_codigos, sizeof *codigos);
    for (i = 0; i < subcuentas.registros; i++) {
        char b[64];
        unsigned h;
        valor(&subcuentas, i, cod_off, cod_len, b);
        for (h = hash(b) & (n_codigos - 1); codigos[h].cod[0]; h = (h + 1) & (n_codigos - 1)) {
        }
        snprintf(codigos[h].cod, sizeof codigos[h].cod, "%s", b);
        codigos[h].registro = i;
    }
}

static int registro_de(const char* cod)
{
    unsigned h;
    for (h = hash(cod) & (n_codigos - 1); codigos[h].cod[0]; h = (h + 1) & (n_codigos - 1)) {
        if (strcmp(codigos[h].cod, cod) == 0) return codigos[h].registro;
    }
    return -1;
}

/* Writes the next entry of the reference journal (its run of records with
** one ASIEN), each line after the subaccounts it needs that XSubCta does
** not hold yet. */
static void asiento(void)
{
    char primero[32], este[32], cod[64];
    if (diario.escritos >= diario.registros) fallar("el diario de referencia tiene menos asientos");
    valor(&diario, diario.escritos, asien_off, asien_len, primero);
    do {
        int r;
        valor(&diario, diario.escritos, subcta_off, subcta_len, cod);
        r = registro_de(cod);
        while (r >= subcuentas.escritos) anadir(&subcuentas);
        anadir(&diario);
        if (diario.escritos >= diario.registros) break;
        valor(&diario, diario.escritos, asien_off, asien_len, este);
    } while (strcmp(este, primero) == 0);
}

/* ---- Groups ----------------------------------------------------------- */

static sqlite3 *enlace, *caja, *emi;
static sqlite3_stmt *st_punto, *st_marcar_caja;
static double grupo_ms;    /* >0: by time */
static int grupo_unidades; /* >0: by count */
static double inicio_grupo;
static int unidades_grupo, grupos, unidades;
static sqlite3_int64* por_marcar; /* caja rows of the group */
static int n_por_marcar, cap_por_marcar;

static void escribir_punto(int en_curso)
{
    sqlite3_bind_int(st_punto, 1, diario.escritos);
    sqlite3_bind_int(st_punto, 2, subcuentas.escritos);
    sqlite3_bind_int(st_punto, 3, en_curso);
    hecho(st_punto);
}

static void abrir_grupo(void)
{
    ejecutar(enlace, "BEGIN IMMEDIATE");
    ejecutar(emi, "BEGIN IMMEDIATE");
    inicio_grupo = ahora_ms();
    unidades_grupo = 0;
}

/* The records first, then the marks that say they are there. */
static void confirmar(int en_curso)
{
    int i;
    if (fsync(diario.fd) || fsync(subcuentas.fd)) fallar("fsync: %s", strerror(errno));
    escribir_punto(en_curso);
    ejecutar(enlace, "COMMIT");
    ejecutar(emi, "COMMIT");
    grupos++;
    if (n_por_marcar) {
        ejecutar(caja, "BEGIN IMMEDIATE");
        for (i = 0; i < n_por_marcar; i++) {
            sqlite3_bind_int64(st_marcar_caja, 1, por_marcar[i]);
            hecho(st_marcar_caja);
        }
        ejecutar(caja, "COMMIT");
        n_por_marcar = 0;
    }
}

static void unidad(void)
{
    unidades++;
    unidades_grupo++;
    if (grupo_unidades > 0 ? unidades_grupo >= grupo_unidades : ahora_ms() - inicio_grupo >= grupo_ms) {
        confirmar(1);
        abrir_grupo();
    }
}

static void cerrar_grupo(void)
{
    confirmar(1);
    abrir_grupo();
}

/* ---- Dates ------------------------------------------------------------ */

static void dia_siguiente(char* aaaammdd)
{
    struct tm t;
    memset(&t, 0, sizeof t);
    sscanf(aaaammdd, "%4d%2d%2d", &t.tm_year, &t.tm_mon, &t.tm_mday);
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    t.tm_mday += 1;
    t.tm_hour = 12;
    mktime(&t);
    snprintf(aaaammdd, 16, "%04d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

/* ---- The passes ------------------------------------------------------- */

static const char *desde, *hasta;
static int n_cajas, n_facturas, n_asentadas;

static void pasar_cajas(sqlite3* hotel_emi)
{
    sqlite3_stmt *sel, *preparados, *factura, *ins;
    char fec[16], fra[64], anof[16], cobroc[16], con[256], dep[16];
    Cadena cli;
    ejecutar(caja, "UPDATE caja SET CajaTur = '' WHERE CajaTur is null");
    preparados = preparar(enlace, "SELECT count(*) FROM cajj WHERE CajFec Between ? AND ?");
    texto(preparados, 1, desde);
    texto(preparados, 2, hasta);
    paso(preparados);
    if (sqlite3_column_int(preparados, 0)) fallar("cajj ya tiene movimientos del rango: use una copia nueva");
    sqlite3_finalize(preparados);

    sel = preparar(caja, "SELECT rowid, CajaFec, CajaOrd, CajaAnoF, CajaFra, CajaCobroc, CajaCon, CajaImp "
                         "FROM caja WHERE CajaFec Between ? AND ? AND CajaPago = '1' AND CajaImp <> 0 "
                         "AND CajaTur <> '1' ORDER BY CajaFec, CajaOrd");
    factura = preparar(hotel_emi, "SELECT EmiC, EmiCli, EmiFec FROM emi WHERE EmiAno = ? AND EmiNum = ?");
    ins = preparar(enlace, "INSERT INTO cajj (CajFec, CajOrd, CajFra, CajImp, CajCli, CajDep, CajAnoF, "
                           "CajCobroc, CajCre, CajEstado) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, '0')");
    texto(sel, 1, desde);
    texto(sel, 2, hasta);
    while (paso(sel)) {
        double importe = round(sqlite3_column_double(sel, 7) * 100) / 100;
        col(sel, 1, fec, sizeof fec);
        col(sel, 3, anof, sizeof anof);
        col(sel, 4, fra, sizeof fra);
        col(sel, 5, cobroc, sizeof cobroc);
        col(sel, 6, con, sizeof con);
        if (strncmp(con, "Deposito", 8) != 0) {
            texto(factura, 1, anof);
            texto(factura, 2, fra);
            if (paso(factura)) {
                char cliente[64], emifec[16];
                int cli_puesta =
                    subcuenta_factura(sqlite3_column_int(factura, 0), col(factura, 1, cliente, sizeof cliente),
                                      col(factura, 2, emifec, sizeof emifec), &cli);
                sqlite3_bind_value(ins, 1, sqlite3_column_value(sel, 1));
                sqlite3_bind_value(ins, 2, sqlite3_column_value(sel, 2));
                sqlite3_bind_value(ins, 3, sqlite3_column_value(sel, 4));
                sqlite3_bind_double(ins, 4, importe);
                if (cli_puesta) texto(ins, 5, a_digitos(cli.z).z);
                texto(ins, 6, "");
                sqlite3_bind_value(ins, 7, sqlite3_column_value(sel, 3));
                sqlite3_bind_value(ins, 8, sqlite3_column_value(sel, 5));
                hecho(ins);
                n_cajas++;
            }
            sqlite3_reset(factura);
        } else {
            snprintf(dep, sizeof dep, "%.6s", strlen(con) > 12 ? con + 12 : "");
            sqlite3_bind_value(ins, 1, sqlite3_column_value(sel, 1));
            sqlite3_bind_value(ins, 2, sqlite3_column_value(sel, 2));
            sqlite3_bind_value(ins, 3, sqlite3_column_value(sel, 4));
            sqlite3_bind_double(ins, 4, importe);
            texto(ins, 5, ajustar_subcuenta(aj.depositos, aj.digitos).z);
            texto(ins, 6, dep);
            sqlite3_bind_value(ins, 7, sqlite3_column_value(sel, 3));
            sqlite3_bind_value(ins, 8, sqlite3_column_value(sel, 5));
            sqlite3_bind_int(ins, 9, 0);
            hecho(ins);
            n_cajas++;
        }
        if (n_por_marcar == cap_por_marcar) {
            cap_por_marcar = cap_por_marcar ? 2 * cap_por_marcar : 1024;
            por_marcar = realloc(por_marcar, cap_por_marcar * sizeof *por_marcar);
        }
        por_marcar[n_por_marcar++] = sqlite3_column_int64(sel, 0);
        unidad();
    }
    sqlite3_finalize(sel);
    sqlite3_finalize(factura);
    sqlite3_finalize(ins);
    cerrar_grupo();
}

/* Returns the number of invoices selected. */
static int pasar_facturas(sqlite3* hotel_cab)
{
    sqlite3_stmt *sel, *cab, *cerrar, *buscar, *ins, *edep;
    char ano[8], num[64], fec[16], cliente[64], nif[64], eje[8];
    int seleccionadas = 0;
    snprintf(ano, sizeof ano, "%.4s", desde);
    sel = preparar(emi, "SELECT rowid, EmiNum, EmiFec, EmiCie, EmiC, EmiCli, EmiNom, EmiNif, "
                        "EmiB1, EmiB2, EmiB3, EmiB4, EmiC1, EmiC2, EmiC3, EmiC4, EmiTot, "
                        "EmiI1, EmiI2, EmiI3, EmiI4, EmiDep, TasaImporte FROM emi "
                        "WHERE EmiAno = ? AND EmiFec Between ? AND ? AND EmiN <>  'B' "
                        "ORDER BY EmiFec, val(EmiNum)");
    cab = preparar(hotel_cab, "SELECT 1 FROM cab WHERE CabNum1 = ? or CabNum2 = ?");
    cerrar = preparar(emi, "UPDATE emi SET EmiCie = '1' WHERE rowid = ?");
    buscar = preparar(enlace, "SELECT 1 FROM fac WHERE FacEje = ? AND FacFra = ?");
    ins = preparar(enlace, "INSERT INTO fac (FacEmp, FacEje, FacFec, FacFra, FacCli, FacB1, FacB2, FacB3, "
                           "FacB4, FacC1, FacC2, FacC3, FacC4, FacTotal, FacI1, FacI2, FacI3, FacI4, FacIvar, "
                           "FacDia, FacCliN, FacNifC, FacCtaC, ImporteTasa, FacEst) VALUES (?, ?, ?, ?, ?, "
                           "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '0')");
    edep = preparar(enlace, "INSERT INTO edep (EdepFec, EdepCli, EdepImp, EdepEstado, EdepFra) "
                            "VALUES (?, ?, ?, '0', ?)");
    texto(sel, 1, ano);
    texto(sel, 2, desde);
    texto(sel, 3, hasta);
    while (paso(sel)) {
        int cerrada, i;
        seleccionadas++;
        if (sqlite3_column_type(sel, 1) == SQLITE_NULL) {
            unidad();
            continue;
        }
        col(sel, 1, num, sizeof num);
        col(sel, 2, fec, sizeof fec);
        cerrada =
            sqlite3_column_type(sel, 3) != SQLITE_NULL && strcmp((const char*)sqlite3_column_text(sel, 3), "1") == 0;
        if (sqlite3_column_type(sel, 3) != SQLITE_NULL && strcmp((const char*)sqlite3_column_text(sel, 3), "0") == 0) {
            texto(cab, 1, num);
            texto(cab, 2, num);
            if (!paso(cab)) {
                sqlite3_bind_int64(cerrar, 1, sqlite3_column_int64(sel, 0));
                hecho(cerrar);
                cerrada = 1;
            }
            sqlite3_reset(cab);
        }
        if (cerrada) {
            snprintf(eje, sizeof eje, "%.4s", fec);
            texto(buscar, 1, eje);
            texto(buscar, 2, num);
            if (!paso(buscar)) {
                Cadena cuenta;
                char *p, *q;
                const char *a, *b;
                col(sel, 5, cliente, sizeof cliente);
                if (!subcuenta_factura(sqlite3_column_int(sel, 4), cliente, fec, &cuenta)) cuenta.z[0] = 0;
                cuenta = a_digitos(cuenta.z);
                texto(ins, 1, aj.empresa);
                texto(ins, 2, eje);
                texto(ins, 3, fec);
                texto(ins, 4, num);
                for (a = cliente; *a == ' '; a++) {
                }
                for (b = a + strlen(a); b > a && b[-1] == ' '; b--) {
                }
                sqlite3_bind_text(ins, 5, a, (int)(b - a), SQLITE_TRANSIENT);
                for (i = 0; i < 13; i++) sqlite3_bind_value(ins, 6 + i, sqlite3_column_value(sel, 8 + i));
                texto(ins, 19, aj.iva);
                texto(ins, 20, aj.diario);
                sqlite3_bind_value(ins, 21, sqlite3_column_value(sel, 6));
                if (sqlite3_column_type(sel, 7) == SQLITE_NULL) {
                    strcpy(nif, "0");
                } else {
                    col(sel, 7, nif, sizeof nif);
                    for (p = q = nif; *p; p++) {
                        if (*p == '/' || *p == '-' || *p == '.' || *p == ' ') continue;
                        *q++ = (*p >= 'a' && *p <= 'z') ? *p - 'a' + 'A' : *p;
                    }
                    *q = 0;
                    nif[9] = 0;
                }
                texto(ins, 22, nif);
                texto(ins, 23, cuenta.z);
                sqlite3_bind_value(ins, 24, sqlite3_column_value(sel, 22));
                hecho(ins);
                n_facturas++;
                if (sqlite3_column_type(sel, 21) != SQLITE_NULL && sqlite3_column_double(sel, 21) != 0) {
                    Cadena edcli = aj.todos_pasantes ? a_digitos(aj.pasantes) : cuenta;
                    texto(edep, 1, fec);
                    texto(edep, 2, edcli.z);
                    sqlite3_bind_value(edep, 3, sqlite3_column_value(sel, 21));
                    texto(edep, 4, num);
                    hecho(edep);
                }
            }
            sqlite3_reset(buscar);
        }
        unidad();
    }
    sqlite3_finalize(sel);
    sqlite3_finalize(cerrar);
    sqlite3_finalize(buscar);
    sqlite3_finalize(ins);
    sqlite3_finalize(edep);
    sqlite3_finalize(cab);
    cerrar_grupo();
    return seleccionadas;
}

/* The sales lines of one invoice from its services, as the staging
** rebuilds them when sales are split by service. */
static void generar_fal(sqlite3_stmt* servicios, sqlite3_stmt* existe, sqlite3_stmt* borrar, sqlite3_stmt* ins,
                        const char* emp, const char* eje, const char* fra, double bases)
{
    int orden = 0;
    double total = 0, diferencia;
    texto(borrar, 1, emp);
    texto(borrar, 2, eje);
    texto(borrar, 3, fra);
    hecho(borrar);
    texto(existe, 1, eje);
    texto(existe, 2, fra);
    if (!paso(existe)) {
        sqlite3_reset(existe);
        return;
    }
    sqlite3_reset(existe);
    texto(servicios, 1, fra);
    texto(servicios, 2, eje);
    while (paso(servicios)) {
        char cta[64];
        double importe = round(sqlite3_column_double(servicios, 1) * sqlite3_column_double(servicios, 2) * 100) / 100;
        const unsigned char* signo = sqlite3_column_text(servicios, 3);
        double firmado = (signo && strcmp((const char*)signo, "+") == 0) ? importe : 0.0 - importe;
        col(servicios, 0, cta, sizeof cta);
        if ((int)strlen(cta) > aj.digitos) cta[aj.digitos] = 0;
        total += firmado;
        texto(ins, 1, emp);
        texto(ins, 2, eje);
        texto(ins, 3, fra);
        sqlite3_bind_int(ins, 4, ++orden);
        texto(ins, 5, cta);
        sqlite3_bind_double(ins, 6, firmado);
        hecho(ins);
    }
    sqlite3_reset(servicios);
    diferencia = round((round(bases * 100) / 100 - total) * 100) / 100;
    if (orden && diferencia != 0) {
        texto(ins, 1, emp);
        texto(ins, 2, eje);
        texto(ins, 3, fra);
        sqlite3_bind_int(ins, 4, ++orden);
        texto(ins, 5, aj.ventas_defecto);
        sqlite3_bind_double(ins, 6, diferencia);
        hecho(ins);
    }
}

static void asentar_facturas(const char* raiz)
{
    sqlite3_stmt *sel, *sumas, *marcar, *servicios = 0, *existe = 0, *borrar = 0, *ins = 0;
    sqlite3* hiscadia = 0;
    typedef struct {
        sqlite3_int64 id;
        char emp[16], eje[8], fra[32];
        double bases;
    } Fila;
    Fila* filas = 0;
    int n = 0, cap = 0, i;
    sel = preparar(enlace, "SELECT rowid, FacEmp, FacEje, FacFra, FacB1 + FacB2 + FacB3 + FacB4 FROM fac "
                           "WHERE FacEst = '0' ORDER BY FacFec, FacFra");
    while (paso(sel)) {
        if (n == cap) {
            cap = cap ? 2 * cap : 1024;
            filas = realloc(filas, cap * sizeof *filas);
        }
        filas[n].id = sqlite3_column_int64(sel, 0);
        col(sel, 1, filas[n].emp, sizeof filas[n].emp);
        col(sel, 2, filas[n].eje, sizeof filas[n].eje);
        col(sel, 3, filas[n].fra, sizeof filas[n].fra);
        filas[n].bases = sqlite3_column_double(sel, 4);
        n++;
    }
    sqlite3_finalize(sel);
    sumas = preparar(enlace, "SELECT Sum(FalImp) AS FalSuma, FalCta FROM fal WHERE FalEmp = ? AND FalEje = ? "
                             "AND FalFra = ? GROUP BY FalCta");
    marcar = preparar(enlace, "UPDATE fac SET FacEst = '1' WHERE rowid = ?");
    if (aj.separar_ventas) {
        hiscadia = abrir(raiz, "hiscadia.MDB");
        servicios = preparar(hiscadia, "SELECT HCadiaCta, HCadiaCan, HCadiaPre, HCadiaCA FROM Hiscadia "
                                       "WHERE HCadiaFra = ? AND HCadiaFraAno = ?");
        existe = preparar(emi, "SELECT 1 FROM emi WHERE EmiAno = ? AND EmiNum = ?");
        borrar = preparar(enlace, "DELETE FROM fal WHERE FalEmp = ? AND FalEje = ? AND FalFra = ?");
        ins = preparar(enlace, "INSERT INTO fal (FalEmp, FalEje, FalFra, Falorden, FalCta, FalImp) "
                               "VALUES (?, ?, ?, ?, ?, ?)");
    }
    for (i = 0; i < n; i++) {
        if (aj.separar_ventas) {
            generar_fal(servicios, existe, borrar, ins, filas[i].emp, filas[i].eje, filas[i].fra, filas[i].bases);
        }
        texto(sumas, 1, filas[i].emp);
        texto(sumas, 2, filas[i].eje);
        texto(sumas, 3, filas[i].fra);
        hecho(sumas);
        asiento();
        sqlite3_bind_int64(marcar, 1, filas[i].id);
        hecho(marcar);
        n_asentadas++;
        unidad();
    }
    free(filas);
    sqlite3_finalize(sumas);
    sqlite3_finalize(marcar);
    if (hiscadia) {
        sqlite3_finalize(servicios);
        sqlite3_finalize(existe);
        sqlite3_finalize(borrar);
        sqlite3_finalize(ins);
        sqlite3_close(hiscadia);
    }
}

static void fase_depositos(void)
{
    char dia[16];
    sqlite3_stmt* sel = preparar(enlace, "SELECT rowid FROM edep WHERE EdepFec = ? AND EdepEstado = '0'");
    sqlite3_stmt* marcar = preparar(enlace, "UPDATE edep SET EdepEstado = '1' WHERE rowid = ?");
    sqlite3_int64 ids[4096];
    snprintf(dia, sizeof dia, "%s", desde);
    while (strcmp(dia, hasta) <= 0) {
        int n = 0, i;
        texto(sel, 1, dia);
        while (paso(sel) && n < 4096) ids[n++] = sqlite3_column_int64(sel, 0);
        sqlite3_reset(sel);
        if (n) asiento();
        for (i = 0; i < n; i++) {
            sqlite3_bind_int64(marcar, 1, ids[i]);
            hecho(marcar);
        }
        unidad();
        dia_siguiente(dia);
    }
    sqlite3_finalize(sel);
    sqlite3_finalize(marcar);
}

static void fase_caja(void)
{
    char dia[16];
    const int s = aj.separar_depositos;
    sqlite3_stmt* sumas =
        preparar(enlace, s ? "SELECT Sum(CajImp) AS CajSuma, CajCobroc FROM cajj WHERE CajFra <> '' AND CajFec = ? "
                             "AND CajEstado = '0' GROUP BY CajCobroc"
                           : "SELECT Sum(CajImp) AS CajSuma, CajCobroc FROM cajj WHERE CajFec = ? AND CajEstado = '0' "
                             "GROUP BY CajCobroc");
    sqlite3_stmt* filas =
        preparar(enlace, s ? "SELECT * FROM cajj WHERE CajFra <> '' AND CajFec = ? AND CajEstado = '0'"
                           : "SELECT * FROM cajj WHERE CajFec = ? AND CajEstado = '0'");
    sqlite3_stmt* marcar = preparar(enlace, s ? "UPDATE cajj Set CajEstado = '1' WHERE CajFEc = ? AND CajFra <> ''"
                                              : "UPDATE cajj Set CajEstado = '1' WHERE CajFec = ?");
    sqlite3_stmt* cobros = preparar(enlace, "SELECT * FROM cajj WHERE CajFec = ? AND CajEstado <> '1'");
    sqlite3_stmt* marcar_todo = preparar(enlace, "UPDATE cajj Set CajEstado = '1' WHERE CajFec = ?");
    snprintf(dia, sizeof dia, "%s", desde);
    while (strcmp(dia, hasta) <= 0) {
        texto(sumas, 1, dia);
        if (paso(sumas) && sqlite3_column_type(sumas, 0) != SQLITE_NULL) {
            int hay = 0;
            hecho(sumas);
            texto(filas, 1, dia);
            while (paso(filas)) hay++;
            sqlite3_reset(filas);
            asiento();
            if (hay) {
                texto(marcar, 1, dia);
                hecho(marcar);
            }
        } else {
            sqlite3_reset(sumas);
        }
        if (s) {
            int hay = 0;
            texto(cobros, 1, dia);
            while (paso(cobros)) {
                hay++;
                asiento();
            }
            sqlite3_reset(cobros);
            if (hay) {
                texto(marcar_todo, 1, dia);
                hecho(marcar_todo);
            }
        }
        unidad();
        dia_siguiente(dia);
    }
    sqlite3_finalize(sumas);
    sqlite3_finalize(filas);
    sqlite3_finalize(marcar);
    sqlite3_finalize(cobros);
    sqlite3_finalize(marcar_todo);
}

int main(int argc, char** argv)
{
    const char* raiz;
    char ruta[4096];
    sqlite3 *cc, *cli, *agen, *na, *cab;
    double t0;
    int seleccionadas;
    if (argc != 7) {
        fprintf(stderr, "uso: %s RAIZ XDIARIO XSUBCTA DESDE HASTA GRUPO (150ms o N unidades)\n", argv[0]);
        return 2;
    }
    raiz = argv[1];
    desde = argv[4];
    hasta = argv[5];
    /* As enlace configures the library: one thread per connection, no
    ** memory statistics. */
    sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    if (strstr(argv[6], "ms"))
        grupo_ms = atof(argv[6]);
    else
        grupo_unidades = atoi(argv[6]);
    if (grupo_ms <= 0 && grupo_unidades <= 0) fallar("grupo no válido: %s", argv[6]);

    leer_referencia(argv[2], &diario);
    leer_referencia(argv[3], &subcuentas);
    asien_off = campo(&diario, "ASIEN", &asien_len);
    subcta_off = campo(&diario, "SUBCTA", &subcta_len);
    cod_off = campo(&subcuentas, "COD", &cod_len);
    indexar_subcuentas();

    t0 = ahora_ms();
    cc = abrir(raiz, "cc.MDB");
    leer_ajustes(cc);
    caja = abrir(raiz, "caja.MDB");
    emi = abrir(raiz, "emi.MDB");
    cli = abrir(raiz, "cli.MDB");
    agen = abrir(raiz, "agen.MDB");
    na = abrir(raiz, "na.MDB");
    cab = abrir(raiz, "cab.MDB");
    enlace = abrir(raiz, "enlace.MDB");
    /* Commits of enlace.MDB are the durable ones. */
    ejecutar(enlace, "PRAGMA synchronous=FULL");
    st_cli = preparar(cli, "SELECT CliCta FROM cli WHERE CliCod = ?");
    st_agen = preparar(agen, "SELECT AgenCta FROM agen WHERE AgenCod = ?");
    st_na = preparar(na, "SELECT NaCta, NaVin, NaAge FROM na WHERE NaCod = ?");
    st_marcar_caja = preparar(caja, "UPDATE caja SET CajaTur = '1' WHERE rowid = ?");

    snprintf(ruta, sizeof ruta, "%s/C/ContaEli/TMP/Xdiario.dbf", raiz);
    crear_dbf(ruta, &diario);
    snprintf(ruta, sizeof ruta, "%s/C/ContaEli/TMP/XSubCta.dbf", raiz);
    crear_dbf(ruta, &subcuentas);

    ejecutar(enlace, "CREATE TABLE IF NOT EXISTS punto_diario (Carpeta TEXT COLLATE NOCASE PRIMARY KEY, "
                     "Diario INTEGER, HuellaDiario TEXT, Subcuentas INTEGER, HuellaSubcuentas TEXT, EnCurso INTEGER)");
    st_punto = preparar(enlace, "INSERT OR REPLACE INTO punto_diario (Carpeta, Diario, Subcuentas, EnCurso) "
                                "VALUES ('C:\\ContaEli\\TMP', ?, ?, ?)");
    ejecutar(enlace, "BEGIN IMMEDIATE");
    escribir_punto(1);
    ejecutar(enlace, "COMMIT");
    abrir_grupo();

    ejecutar(emi, "UPDATE emi SET TasaImporte = 0 WHERE TasaImporte IS NULL ");
    if (!aj.sin_caja) pasar_cajas(emi);
    seleccionadas = pasar_facturas(cab);
    if (seleccionadas) {
        asentar_facturas(raiz);
        fase_depositos();
        fase_caja();
    }
    confirmar(0);
    if (diario.escritos != diario.registros || subcuentas.escritos != subcuentas.registros) {
        fallar("quedan registros de referencia por escribir: diario %d de %d, subcuentas %d de %d", diario.escritos,
               diario.registros, subcuentas.escritos, subcuentas.registros);
    }
    close(diario.fd);
    close(subcuentas.fd);
    sqlite3_finalize(st_cli);
    sqlite3_finalize(st_agen);
    sqlite3_finalize(st_na);
    sqlite3_finalize(st_marcar_caja);
    sqlite3_finalize(st_punto);
    sqlite3_close(cc);
    sqlite3_close(caja);
    sqlite3_close(emi);
    sqlite3_close(cli);
    sqlite3_close(agen);
    sqlite3_close(na);
    sqlite3_close(cab);
    sqlite3_close(enlace);
    printf("suelo: %d cajas, %d facturas, %d asientos de factura, %d apuntes, %d subcuentas, "
           "%d unidades en %d grupos, %.3f s\n",
           n_cajas, n_facturas, n_asentadas, diario.escritos, subcuentas.escritos, unidades, grupos,
           (ahora_ms() - t0) / 1e3);
    return 0;
}
