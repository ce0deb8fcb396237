// Compiled into a library whose folder has no sources yet, so that the build can be configured.
