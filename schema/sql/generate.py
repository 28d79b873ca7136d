#!/usr/bin/env python3
"""Writes sqlite.sql and postgresql.sql beside this file from the one table list below.

Run it after changing a table: `python3 schema/sql/generate.py`. Both files are committed; the build embeds
them into the demo builder, so nothing reads them at run time.

Column kinds: int (INTEGER), num (exact decimal), date, char n (fixed-width code), varchar n (text),
timestamp (a day and a time of day), serial (an INTEGER key the database numbers as rows come).
Key columns are NOT NULL; every other column accepts Null, as the host's price-list rows may leave dates,
brackets and copied values empty.
"""

import textwrap
from pathlib import Path

VERSION = 1

# (table, comment, [(column, kind, size)], [key columns], [(index name, [columns])])
TABLES = [
    ("KV_SCHEMA", "Version of this schema, so that a stored database can be migrated.",
     [("KV_VERSION", "int", 0)], [], []),
    ("CG18_DITTE", "Companies.",
     [("CG18_CODICE", "int", 0), ("CG18_RAGSOC", "varchar", 60), ("CG18_VALUTA_CG08", "char", 4)],
     ["CG18_CODICE"], []),
    ("CG08_VALUTE", "Currencies with the decimals of unit prices and of amounts.",
     [("CG08_CODICE", "char", 4), ("CG08_DESCR", "varchar", 40), ("CG08_DECPRZUNIT", "int", 0),
      ("CG08_DECIMPORTI", "int", 0)],
     ["CG08_CODICE"], []),
    ("CG28_TABCODIVA", "VAT codes (shared by every company).",
     [("CG28_CODICE", "char", 4), ("CG28_DESCR", "varchar", 40), ("CG28_PERCIVA", "num", 0)],
     ["CG28_CODICE"], []),
    ("MG02_SCAGLARROT", "Rounding brackets: per bracket code, price ranges up to MG02_PREZZOLIM (inclusive), "
     "each rounded to a multiple of MG02_ARROTOND (MG02_INDDIREZ 0 nearest, 1 up, 2 down).",
     [("MG02_DITTA_CG18", "int", 0), ("MG02_CODSCAGL", "int", 0), ("MG02_PREZZOLIM", "num", 0),
      ("MG02_ARROTOND", "num", 0), ("MG02_INDDIREZ", "int", 0)],
     ["MG02_DITTA_CG18", "MG02_CODSCAGL", "MG02_PREZZOLIM"], []),
    ("MG66_ANAGRART", "Article master.",
     [("MG66_DITTA_CG18", "int", 0), ("MG66_CODART", "char", 25), ("MG66_FLGARRPRZ", "int", 0),
      ("MG66_SCAGL_MG02", "int", 0), ("MG66_ALIVA_CG28", "char", 4)],
     ["MG66_DITTA_CG18", "MG66_CODART"], []),
    ("MG87_DESCRART", "Article descriptions.",
     [("MG87_DITTA_CG18", "int", 0), ("MG87_CODART_MG66", "char", 25), ("MG87_DESCART", "varchar", 80)],
     ["MG87_DITTA_CG18", "MG87_CODART_MG66"], []),
    ("MG44_PARMAGLIST", "Warehouse price-list parameters, one row per company and list.",
     [("MG44_DITTA_CG18", "int", 0), ("MG44_NUMLIST", "int", 0), ("MG44_FLGVENACQ", "int", 0),
      ("MG44_FLGCREAZVELOCE", "int", 0), ("MG44_DESCLIST", "varchar", 40), ("MG44_VALUTA_CG08", "char", 4),
      ("MG44_FLGRICHPREZZO", "int", 0), ("MG44_NUMSCPERC", "int", 0), ("MG44_FLGRICHSCIMP", "int", 0),
      ("MG44_NUMMAGPERC", "int", 0), ("MG44_FLGRICHMAGIMP", "int", 0), ("MG44_PERCPROV", "num", 0),
      ("MG44_INDPROPDATAINI", "int", 0), ("MG44_PROPDATAINI", "date", 0),
      ("MG44_INDPROPDATAFINE", "int", 0), ("MG44_PROPDATAFINE", "date", 0),
      ("MG44_RICDEFAULT", "num", 0), ("MG44_FLGIVACOMPR", "int", 0), ("MG44_INDARRPREZZO", "int", 0),
      ("MG44_SCAGL_MG02", "int", 0), ("MG44_INDMODRICZERO", "int", 0), ("MG44_NUMLISTACQRIC", "int", 0)],
     ["MG44_DITTA_CG18", "MG44_NUMLIST"], []),
    ("MG5F_DIMECONF", "Variants of a company; code order is the order of the option code's segments.",
     [("MG5F_DITTA_CG18", "int", 0), ("MG5F_CODICEVAR", "char", 2), ("MG5F_DESCR_VAR", "varchar", 40),
      ("MG5F_SIZE", "int", 0), ("MG5F_INDGRIGLIA", "int", 0), ("MG5F_INDMOSTRACOD", "int", 0)],
     ["MG5F_DITTA_CG18", "MG5F_CODICEVAR"], []),
    ("MG5E_OPZIONI", "Options of each variant.",
     [("MG5E_DITTA_CG18", "int", 0), ("MG5E_CODICEVAR_MG5F", "char", 2), ("MG5E_OPZIONE", "char", 20),
      ("MG5E_DESCR", "varchar", 80)],
     ["MG5E_DITTA_CG18", "MG5E_CODICEVAR_MG5F", "MG5E_OPZIONE"], []),
    ("MG5G_RAGGVAR", "Option groupings of a variant.",
     [("MG5G_DITTA_CG18", "int", 0), ("MG5G_CODICEVAR_MG5F", "char", 2), ("MG5G_CODRAGGVAR", "char", 10),
      ("MG5G_DESCR", "varchar", 40)],
     ["MG5G_DITTA_CG18", "MG5G_CODICEVAR_MG5F", "MG5G_CODRAGGVAR"], []),
    ("MG5H_COMPRAGVAR", "Options of a grouping, in display order.",
     [("MG5H_DITTA_CG18", "int", 0), ("MG5H_CODICEVAR_MG5F", "char", 2), ("MG5H_RAGGR_MG5G", "char", 10),
      ("MG5H_OPZIONE_MG5E", "char", 20), ("MG5H_SEQOPZIONE", "int", 0)],
     ["MG5H_DITTA_CG18", "MG5H_CODICEVAR_MG5F", "MG5H_RAGGR_MG5G", "MG5H_OPZIONE_MG5E"], []),
    ("MG6B_GESVARART", "Variants managed by each article, with the option grouping it uses.",
     [("MG6B_DITTA_CG18", "int", 0), ("MG6B_CODART_MG66", "char", 25), ("MG6B_CODICEVAR_MG5F", "char", 2),
      ("MG6B_FLGGESTVAR", "int", 0), ("MG6B_CODRAGGVAR_MG5G", "char", 10)],
     ["MG6B_DITTA_CG18", "MG6B_CODART_MG66", "MG6B_CODICEVAR_MG5F"], []),
    ("MG5L_LETVARIANTI", "Variant reading configuration: flag n > 0 means the variant at position n is read.",
     [("MG5L_DITTA_CG18", "int", 0), ("MG5L_INDELEMENTO", "int", 0)]
     + [("MG5L_FLGPOSVAR%d" % i, "int", 0) for i in range(1, 11)],
     ["MG5L_DITTA_CG18", "MG5L_INDELEMENTO"], []),
    ("LI10_LISTARTIC", "Article price lists.",
     [("LI10_DITTA_CG18", "int", 0), ("LI10_FLGUSODECOR", "int", 0), ("LI10_FLGVENDACQ", "int", 0),
      ("LI10_INDTIPOLIS", "int", 0), ("LI10_CODART_MG66", "char", 25), ("LI10_OPZIONE_MG5E", "char", 20),
      ("LI10_DEPOS_MG58", "char", 2), ("LI10_NUMLIST", "int", 0), ("LI10_DATAINIZIOVAL", "date", 0),
      ("LI10_DATAFINEVAL", "date", 0), ("LI10_FLGLIST", "int", 0), ("LI10_PREZZO", "num", 0)]
     + [("LI10_SC%dPER" % i, "num", 0) for i in range(1, 7)]
     + [("LI10_SCIMP", "num", 0), ("LI10_MAG1PER", "num", 0), ("LI10_MAG2PER", "num", 0),
        ("LI10_MAGIMP", "num", 0), ("LI10_PERRICDELTA", "num", 0), ("LI10_INDRICALPR", "int", 0),
        ("LI10_INDARROT", "int", 0), ("LI10_SCAGL_MG02", "int", 0), ("LI10_FLGPROVV", "int", 0),
        ("LI10_PROVPER", "num", 0), ("LI10_PROVIMP", "num", 0), ("LI10_PROVVSC_PA10", "char", 20),
        ("LI10_DATACREAZ", "date", 0), ("LI10_DATAULTAGG", "date", 0), ("LI10_FLGVARIATO", "int", 0),
        ("LI10_INDTIPOVAR", "int", 0), ("LI10_DATASTLIS", "date", 0), ("LI10_NUMPAGST", "int", 0),
        ("LI10_BVMBASE", "num", 0), ("LI10_BVMVAR", "num", 0), ("LI10_BVMMOLT", "num", 0),
        ("LI10_FLGPERSON", "int", 0), ("LI10_LIBEROVAL", "num", 0), ("LI10_IDMEDIA_CG99", "int", 0),
        ("LI10_INDUM", "int", 0), ("LI10_NOTE", "varchar", 40)],
     ["LI10_DITTA_CG18", "LI10_FLGUSODECOR", "LI10_FLGVENDACQ", "LI10_INDTIPOLIS", "LI10_CODART_MG66",
      "LI10_OPZIONE_MG5E", "LI10_DEPOS_MG58", "LI10_NUMLIST", "LI10_DATAINIZIOVAL", "LI10_DATAFINEVAL"],
     [("LI10_ARTICOLO", ["LI10_DITTA_CG18", "LI10_CODART_MG66"])]),
    # The window's own tables. A company database made before them gets each one the first time the
    # window needs it; nothing else in the database changes then.
    ("QX10_STORICOPREZZI", "Price history: one row per cell of LI10_LISTARTIC that a save of the price-list window "
     "changed (QX10_INDOPERAZ 1 \"Conferma\", 2 \"Annulla ultimo salvataggio\", which names the save it undid in "
     "QX10_ANNULLA_QX10). A save is numbered by the QX10_ID of its first row, which the database gives as the "
     "row is written: the save's other rows carry it in QX10_SALVATAGGIO, the first row leaves it Null (rows are "
     "only ever added, never rewritten). "
     "QX10_INDRIGA: 1 the row was inserted, 2 updated, 3 deleted. Values are written as text: numbers with a "
     "decimal point, dates as YYYYMMDD, Null as Null.",
     [("QX10_ID", "serial", 0), ("QX10_SALVATAGGIO", "int", 0), ("QX10_INDOPERAZ", "int", 0),
      ("QX10_ANNULLA_QX10", "int", 0), ("QX10_DITTA_CG18", "int", 0), ("QX10_FLGVENDACQ", "int", 0),
      ("QX10_CODART_MG66", "char", 25), ("QX10_OPZIONE_MG5E", "char", 20), ("QX10_NUMLIST", "int", 0),
      ("QX10_DATAINIZIOVAL", "date", 0), ("QX10_DATAFINEVAL", "date", 0), ("QX10_INDRIGA", "int", 0),
      ("QX10_COLONNA", "varchar", 30), ("QX10_VALOREPREC", "varchar", 60), ("QX10_VALORENUOVO", "varchar", 60),
      ("QX10_DATAORA", "timestamp", 0), ("QX10_UTENTE", "varchar", 60)],
     ["QX10_ID"],
     [("QX10_ARTICOLO", ["QX10_DITTA_CG18", "QX10_CODART_MG66"])]),
    ("QX11_CAMBI", "Exchange rates per company: from QX11_DATAINIZIO on, one unit of the company's currency "
     "(CG18_VALUTA_CG08) is worth QX11_CAMBIO units of the currency QX11_VALUTA_CG08, until the next start date "
     "of the same currency. The company's own currency needs no row.",
     [("QX11_DITTA_CG18", "int", 0), ("QX11_VALUTA_CG08", "char", 4), ("QX11_DATAINIZIO", "date", 0),
      ("QX11_CAMBIO", "num", 0)],
     ["QX11_DITTA_CG18", "QX11_VALUTA_CG08", "QX11_DATAINIZIO"], []),
    ("QX12_PREFERENZE", "What a user chose in the price-list window and finds again the next time, per company "
     "and user name (the host's user, else the operating system's): QX12_CHIAVE names the choice, QX12_VALORE "
     "holds it as text.",
     [("QX12_DITTA_CG18", "int", 0), ("QX12_UTENTE", "varchar", 60), ("QX12_CHIAVE", "varchar", 30),
      ("QX12_VALORE", "varchar", 60)],
     ["QX12_DITTA_CG18", "QX12_UTENTE", "QX12_CHIAVE"], []),
]


def column_sql(engine, name, kind, size, key):
    if kind == "int":
        text = "INTEGER"
    elif kind == "num":
        text = "NUMERIC"
    elif kind == "date":
        text = "DATE"
    elif kind == "timestamp":
        # Written as 'YYYY-MM-DD hh:mm:ss' text, which both engines read back as a day and a time.
        text = "TIMESTAMP" if engine == "sqlite" else "TIMESTAMP(0)"
    elif kind == "serial":
        # SQLite numbers an INTEGER primary key by itself; the server, an identity column.
        text = "INTEGER" if engine == "sqlite" else "INTEGER GENERATED BY DEFAULT AS IDENTITY"
    elif kind in ("char", "varchar"):
        text = "%s(%d)" % ("CHAR" if kind == "char" else "VARCHAR", size)
        if engine == "sqlite":
            # The embedded engine neither compares without trailing blanks nor enforces the width:
            # the collation and the check give it what the server does.
            text += " COLLATE RTRIM CHECK (length(%s) <= %d)" % (name, size)
    else:
        raise ValueError(kind)
    if key:
        text += " NOT NULL"
    return "%s %s" % (name, text)


def render(engine):
    title = "SQLite" if engine == "sqlite" else "PostgreSQL"
    out = [
        "-- Company database schema for %s. Generated by generate.py from its table list: edit that, then" % title,
        "-- run it again. Codes are fixed-width text compared without trailing blanks, prices and percentages",
        "-- exact decimals, flags and indicators integers, dates DATE (written as 'YYYYMMDD' in statements).",
    ]
    if engine == "sqlite":
        out.append("-- DATE columns keep 'YYYYMMDD' as the integer YYYYMMDD (numeric affinity), which orders and")
        out.append("-- compares like the text; NUMERIC keeps 15 significant digits.")
    out.append("")
    for table, comment, columns, key, indexes in TABLES:
        out.extend(textwrap.wrap(comment, 106, initial_indent="-- ", subsequent_indent="-- "))
        lines = [column_sql(engine, n, k, s, n in key) for n, k, s in columns]
        if key:
            lines.append("PRIMARY KEY (%s)" % ", ".join(key))
        out.append("CREATE TABLE %s (\n    %s\n);" % (table, ",\n    ".join(lines)))
        for name, cols in indexes:
            out.append("CREATE INDEX %s ON %s (%s);" % (name, table, ", ".join(cols)))
        out.append("")
    out.append("INSERT INTO KV_SCHEMA (KV_VERSION) VALUES (%d);" % VERSION)
    return "\n".join(out) + "\n"


def main():
    here = Path(__file__).resolve().parent
    (here / "sqlite.sql").write_text(render("sqlite"), encoding="utf-8")
    (here / "postgresql.sql").write_text(render("postgresql"), encoding="utf-8")


if __name__ == "__main__":
    main()
