// Fixture of the layering check: a folder that is no layer.
