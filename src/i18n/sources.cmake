# Sources of src/i18n (paths relative to this file).
