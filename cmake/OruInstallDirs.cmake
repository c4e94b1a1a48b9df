# The installed layout, as Debian lays out a package:
#   programs            bin/
#   libraries           lib/<multiarch>/oru/   (private: unversioned, loaded by the programs only)
#   Python module       lib/python3/dist-packages/
#   data                share/oru/ (benches, instrument device files), share/applications, share/icons
# Installed programs and libraries find the libraries relative to themselves ($ORIGIN), so an
# installation works wherever its prefix is unpacked (a scratch root, /usr, /opt/...).
#
# Components, one Debian package each (packaging/CMakeLists.txt):
#   direzo    the component oruDirEzo, the platform stand-ins and their tools
#   bench     the simulated bench: vireo-bench, the default bench and the instrument device files
#   python    the scripting host `oleaut` and the example scripts
#   kestview  the test console
#   airmeter  the throughput tool
include(GNUInstallDirs)

# The private libraries go below Debian's multiarch folder for every prefix (GNUInstallDirs picks
# that folder for /usr only).
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(ORU_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}/oru")
else()
  set(ORU_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/oru")
endif()
set(ORU_INSTALL_PYTHONDIR "lib/python3/dist-packages")
set(ORU_INSTALL_DATADIR "share/oru")  # the programs look for it in ../share/oru beside bin/

# Every installed target's RUNPATH: libraries find their siblings, programs the library folder.
file(RELATIVE_PATH ORU_BIN_TO_LIB /${CMAKE_INSTALL_BINDIR} /${ORU_INSTALL_LIBDIR})
set(CMAKE_INSTALL_RPATH "$ORIGIN" "$ORIGIN/${ORU_BIN_TO_LIB}")
file(RELATIVE_PATH ORU_PYTHON_TO_LIB /${ORU_INSTALL_PYTHONDIR} /${ORU_INSTALL_LIBDIR})

# Folders the installation creates are readable by all, whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# oru_install(COMPONENT TARGETS...): installs programs into bin/ and libraries into the private
# library folder, as part of COMPONENT.
function(oru_install component)
  install(TARGETS ${ARGN}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component}
    LIBRARY DESTINATION ${ORU_INSTALL_LIBDIR} COMPONENT ${component} NAMELINK_COMPONENT ${component})
endfunction()
