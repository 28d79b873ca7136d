// Placeholder for a library whose folders have no sources yet.
