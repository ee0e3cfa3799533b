# Sources of src/reporting (paths relative to this file).
