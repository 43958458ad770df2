-- Empty record database: one table per meter table code.
-- Values are stored as the text of their field; numeric affinity keeps
-- "HH"/"LL" as text while numbers become numbers. Alarm states and the
-- time stamp stay text so that "01" and the time text read back unchanged.

CREATE TABLE meter11 (
    pv1 NUMERIC,
    sv1 NUMERIC,
    out1 NUMERIC,
    indate TEXT
);
CREATE TABLE meter12 (
    pv1 NUMERIC,
    sv1 NUMERIC,
    out1 NUMERIC,
    pv2 NUMERIC,
    sv2 NUMERIC,
    out2 NUMERIC,
    indate TEXT
);
CREATE TABLE meter13 (
    pv1 NUMERIC,
    sv1 NUMERIC,
    out1 NUMERIC,
    pv2 NUMERIC,
    sv2 NUMERIC,
    out2 NUMERIC,
    pv3 NUMERIC,
    sv3 NUMERIC,
    out3 NUMERIC,
    indate TEXT
);
CREATE TABLE meter14 (
    pv1 NUMERIC,
    sv1 NUMERIC,
    out1 NUMERIC,
    pv2 NUMERIC,
    sv2 NUMERIC,
    out2 NUMERIC,
    pv3 NUMERIC,
    sv3 NUMERIC,
    out3 NUMERIC,
    pv4 NUMERIC,
    sv4 NUMERIC,
    out4 NUMERIC,
    indate TEXT
);
CREATE TABLE meter15 (
    pv1 NUMERIC,
    sv1 NUMERIC,
    out1 NUMERIC,
    pv2 NUMERIC,
    sv2 NUMERIC,
    out2 NUMERIC,
    pv3 NUMERIC,
    sv3 NUMERIC,
    out3 NUMERIC,
    pv4 NUMERIC,
    sv4 NUMERIC,
    out4 NUMERIC,
    pv5 NUMERIC,
    sv5 NUMERIC,
    out5 NUMERIC,
    indate TEXT
);
CREATE TABLE meter16 (
    pv1 NUMERIC,
    sv1 NUMERIC,
    out1 NUMERIC,
    pv2 NUMERIC,
    sv2 NUMERIC,
    out2 NUMERIC,
    pv3 NUMERIC,
    sv3 NUMERIC,
    out3 NUMERIC,
    pv4 NUMERIC,
    sv4 NUMERIC,
    out4 NUMERIC,
    pv5 NUMERIC,
    sv5 NUMERIC,
    out5 NUMERIC,
    pv6 NUMERIC,
    sv6 NUMERIC,
    out6 NUMERIC,
    indate TEXT
);
CREATE TABLE meter208 (
    pv1 NUMERIC,
    pv2 NUMERIC,
    pv3 NUMERIC,
    pv4 NUMERIC,
    pv5 NUMERIC,
    pv6 NUMERIC,
    pv7 NUMERIC,
    pv8 NUMERIC,
    indate TEXT
);
CREATE TABLE meter216 (
    pv1 NUMERIC,
    pv2 NUMERIC,
    pv3 NUMERIC,
    pv4 NUMERIC,
    pv5 NUMERIC,
    pv6 NUMERIC,
    pv7 NUMERIC,
    pv8 NUMERIC,
    pv9 NUMERIC,
    pv10 NUMERIC,
    pv11 NUMERIC,
    pv12 NUMERIC,
    pv13 NUMERIC,
    pv14 NUMERIC,
    pv15 NUMERIC,
    pv16 NUMERIC,
    indate TEXT
);
CREATE TABLE meter3 (
    pv_value NUMERIC,
    al1value NUMERIC,
    alm1 TEXT,
    al2value NUMERIC,
    alm2 TEXT,
    al3value NUMERIC,
    alm3 TEXT,
    al4value NUMERIC,
    alm4 TEXT,
    indate TEXT
);
CREATE TABLE meter4 (
    T_value NUMERIC,
    al1value NUMERIC,
    alm1 TEXT,
    H_value NUMERIC,
    al2value NUMERIC,
    alm2 TEXT,
    indate TEXT
);
CREATE TABLE meter5 (
    pv_value NUMERIC,
    al1value NUMERIC,
    alm1 TEXT,
    al2value NUMERIC,
    alm2 TEXT,
    al3value NUMERIC,
    alm3 TEXT,
    al4value NUMERIC,
    alm4 TEXT,
    al5value NUMERIC,
    alm5 TEXT,
    al6value NUMERIC,
    alm6 TEXT,
    al7value NUMERIC,
    alm7 TEXT,
    al8value NUMERIC,
    alm8 TEXT,
    indate TEXT
);
