# Run by CPack over the staged files before it packs them: every folder becomes 0755, whatever the
# umask of whoever packages. CMake makes the folders above an install destination (/usr/lib/tessery,
# /var/lib, ...) with the umask's mode, so a umask of 077 would otherwise ship folders only root can
# enter; file modes are set by the install rules themselves.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
file(CHMOD ${staged} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                           WORLD_EXECUTE)
