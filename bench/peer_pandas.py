#!/usr/bin/python3
# From the shared benchmark kit (bench/peer_pandas.py there), unchanged below this line.
"""Peer: the item grouping and summing as a pandas user would write it (C parser, float sums, no checks)."""
import sys
import pandas as pd

df = pd.read_csv(sys.argv[1], sep=";", skiprows=5, header=None, decimal=",", dtype={1: str, 2: str, 3: str, 4: str, 9: str},
                 usecols=range(10), engine="c")
df[1] = df[1].str.zfill(8); df[2] = df[2].str.zfill(2)
for c in (3, 4, 9):
    df[c] = df[c].str.upper()
g = df.groupby([1, 2, 3, 4, 9], sort=False)[[5, 6, 7, 8]].sum()
g.to_csv(sys.stdout, sep=";", header=False, float_format="%.3f")
