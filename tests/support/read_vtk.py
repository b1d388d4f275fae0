#!/usr/bin/env python3
"""Reads a legacy VTK structured-points file (or a VTK XML image, ".vti")
with VTK's own reader and prints what it found as plain text, so a test can
check a writer against an independent reader:

    dimensions NX NY NZ
    spacing SX SY SZ
    origin OX OY OZ
    NAME:TYPE VALUE...    (one line per point-data array, components in turn)

Floats are printed with repr, which reads back exactly.
"""
import sys

import vtk


def read_xml_image(path):
    reader = vtk.vtkXMLImageDataReader()
    if not reader.CanReadFile(path):
        sys.exit("not a readable VTK XML image: " + path)
    reader.SetFileName(path)
    reader.Update()
    return reader.GetOutput()


def read_legacy(path):
    reader = vtk.vtkStructuredPointsReader()
    reader.SetFileName(path)
    # Without these only the first scalars and vectors sections are loaded.
    reader.ReadAllScalarsOn()
    reader.ReadAllVectorsOn()
    reader.Update()
    if reader.GetErrorCode() != 0 or not reader.IsFileStructuredPoints():
        sys.exit("not a readable structured-points file: " + path)
    return reader.GetOutput()


def main(path):
    data = read_xml_image(path) if path.endswith(".vti") else read_legacy(path)
    print("dimensions", *data.GetDimensions())
    print("spacing", *map(repr, data.GetSpacing()))
    print("origin", *map(repr, data.GetOrigin()))
    points = data.GetPointData()
    for index in range(points.GetNumberOfArrays()):
        array = points.GetArray(index)
        values = [array.GetComponent(t, c)
                  for t in range(array.GetNumberOfTuples())
                  for c in range(array.GetNumberOfComponents())]
        print(array.GetName() + ":" + array.GetDataTypeAsString(), *map(repr, values))


if __name__ == "__main__":
    main(sys.argv[1])
