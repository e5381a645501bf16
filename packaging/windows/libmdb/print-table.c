// Prints one table of a Jet file as tab-separated UTF-8 text, a header line
// with the column names and then one line per row, with backslash, tab and
// line breaks escaped as \\ \t \n \r: the form of the Jet fixtures' .tsv
// files, except that an absent value prints as an empty one (libmdb's bound
// values do not tell them apart). scripts/build-windows.sh runs it under
// Wine to check the Windows build of libmdb, its text conversion above all.
//
//   print-table FILE TABLE
#include <fcntl.h>
#include <io.h>
#include <mdbtools.h>
#include <stdio.h>
#include <stdlib.h>

static void print_escaped(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        switch (*c) {
            case '\\':
                fputs("\\\\", stdout);
                break;
            case '\t':
                fputs("\\t", stdout);
                break;
            case '\n':
                fputs("\\n", stdout);
                break;
            case '\r':
                fputs("\\r", stdout);
                break;
            default:
                putchar(*c);
        }
    }
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fputs("usage: print-table FILE TABLE\n", stderr);
        return 2;
    }
    // The lines end in LF as in the .tsv files, not in CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    MdbHandle* mdb = mdb_open(argv[1], MDB_NOFLAGS);
    if (mdb == NULL) {
        fprintf(stderr, "print-table: libmdb cannot open %s\n", argv[1]);
        return 1;
    }
    MdbTableDef* table = mdb_read_table_by_name(mdb, argv[2], MDB_TABLE);
    if (table == NULL || mdb_read_columns(table) == NULL) {
        fprintf(stderr, "print-table: %s has no table %s\n", argv[1], argv[2]);
        mdb_close(mdb);
        return 1;
    }
    mdb_rewind_table(table);
    char** values = calloc(table->num_cols, sizeof *values);
    int* lengths = calloc(table->num_cols, sizeof *lengths);
    for (unsigned int i = 0; i < table->num_cols; ++i) {
        const MdbColumn* column = g_ptr_array_index(table->columns, i);
        fputs(i == 0 ? "" : "\t", stdout);
        print_escaped(column->name);
        values[i] = malloc(MDB_BIND_SIZE);
        mdb_bind_column(table, (int)i + 1, values[i], &lengths[i]);
    }
    putchar('\n');
    while (mdb_fetch_row(table)) {
        for (unsigned int i = 0; i < table->num_cols; ++i) {
            fputs(i == 0 ? "" : "\t", stdout);
            print_escaped(values[i]);
        }
        putchar('\n');
    }
    for (unsigned int i = 0; i < table->num_cols; ++i) free(values[i]);
    free(values);
    free(lengths);
    mdb_free_tabledef(table);
    mdb_close(mdb);
    return fflush(stdout) == 0 ? 0 : 1;
}
