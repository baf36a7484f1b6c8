// Keeps a module library valid while its folder has no sources yet.
