-- Empty record database: one table per meter table code.
-- Fields are stored as the text the instrument wrote: the queries compare
-- values through a cast to real, the markers "HH"/"LL" and alarm states such
-- as "01" read back unchanged, and the import converts no number per field.
-- OUT columns are numeric because the table shows OUT rounded to a whole
-- number, which a stored text such as "12.4" would not give.
-- 16 KiB pages: fewer page splits while importing, fewer pages per scan.
PRAGMA page_size = 16384;

CREATE TABLE meter11 (
    pv1 TEXT,
    sv1 TEXT,
    out1 NUMERIC,
    indate TEXT
);
CREATE TABLE meter12 (
    pv1 TEXT,
    sv1 TEXT,
    out1 NUMERIC,
    pv2 TEXT,
    sv2 TEXT,
    out2 NUMERIC,
    indate TEXT
);
CREATE TABLE meter13 (
    pv1 TEXT,
    sv1 TEXT,
    out1 NUMERIC,
    pv2 TEXT,
    sv2 TEXT,
    out2 NUMERIC,
    pv3 TEXT,
    sv3 TEXT,
    out3 NUMERIC,
    indate TEXT
);
CREATE TABLE meter14 (
    pv1 TEXT,
    sv1 TEXT,
    out1 NUMERIC,
    pv2 TEXT,
    sv2 TEXT,
    out2 NUMERIC,
    pv3 TEXT,
    sv3 TEXT,
    out3 NUMERIC,
    pv4 TEXT,
    sv4 TEXT,
    out4 NUMERIC,
    indate TEXT
);
CREATE TABLE meter15 (
    pv1 TEXT,
    sv1 TEXT,
    out1 NUMERIC,
    pv2 TEXT,
    sv2 TEXT,
    out2 NUMERIC,
    pv3 TEXT,
    sv3 TEXT,
    out3 NUMERIC,
    pv4 TEXT,
    sv4 TEXT,
    out4 NUMERIC,
    pv5 TEXT,
    sv5 TEXT,
    out5 NUMERIC,
    indate TEXT
);
CREATE TABLE meter16 (
    pv1 TEXT,
    sv1 TEXT,
    out1 NUMERIC,
    pv2 TEXT,
    sv2 TEXT,
    out2 NUMERIC,
    pv3 TEXT,
    sv3 TEXT,
    out3 NUMERIC,
    pv4 TEXT,
    sv4 TEXT,
    out4 NUMERIC,
    pv5 TEXT,
    sv5 TEXT,
    out5 NUMERIC,
    pv6 TEXT,
    sv6 TEXT,
    out6 NUMERIC,
    indate TEXT
);
CREATE TABLE meter208 (
    pv1 TEXT,
    pv2 TEXT,
    pv3 TEXT,
    pv4 TEXT,
    pv5 TEXT,
    pv6 TEXT,
    pv7 TEXT,
    pv8 TEXT,
    indate TEXT
);
CREATE TABLE meter216 (
    pv1 TEXT,
    pv2 TEXT,
    pv3 TEXT,
    pv4 TEXT,
    pv5 TEXT,
    pv6 TEXT,
    pv7 TEXT,
    pv8 TEXT,
    pv9 TEXT,
    pv10 TEXT,
    pv11 TEXT,
    pv12 TEXT,
    pv13 TEXT,
    pv14 TEXT,
    pv15 TEXT,
    pv16 TEXT,
    indate TEXT
);
CREATE TABLE meter3 (
    pv_value TEXT,
    al1value TEXT,
    alm1 TEXT,
    al2value TEXT,
    alm2 TEXT,
    al3value TEXT,
    alm3 TEXT,
    al4value TEXT,
    alm4 TEXT,
    indate TEXT
);
CREATE TABLE meter4 (
    T_value TEXT,
    al1value TEXT,
    alm1 TEXT,
    H_value TEXT,
    al2value TEXT,
    alm2 TEXT,
    indate TEXT
);
CREATE TABLE meter5 (
    pv_value TEXT,
    al1value TEXT,
    alm1 TEXT,
    al2value TEXT,
    alm2 TEXT,
    al3value TEXT,
    alm3 TEXT,
    al4value TEXT,
    alm4 TEXT,
    al5value TEXT,
    alm5 TEXT,
    al6value TEXT,
    alm6 TEXT,
    al7value TEXT,
    alm7 TEXT,
    al8value TEXT,
    alm8 TEXT,
    indate TEXT
);
