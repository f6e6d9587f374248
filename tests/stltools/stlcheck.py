"""Shared by the STL interop scripts: numpy and numpy-stl, or a skip (status 77) where
either is missing, and the folder of the built programs (the first argument)."""
import sys
import warnings

warnings.simplefilter("ignore")  # numpy-stl's dtype notice on newer numpy
try:
    import numpy as np
    import stl
    from stl import mesh
except ImportError:
    sys.exit(77)

BIN = sys.argv[1]
