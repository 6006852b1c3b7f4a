# Install layout and the Debian packages (cmake --build build --target package):
#   klimavox-kvu            the program in /usr/lib/klimavox-kvu with its manual, /usr/bin/klimavox_kvu
#                           linking to it, the desktop entry and the icon;
#   klimavox-kvu-panel-sim  the panel simulator as /usr/bin/klimavox-panel-sim, for service staff and
#                           test benches only, so operators' workstations do not get a network listener.
# The program looks for its manual beside its real path (the link is resolved), and keeps its data in
# the user's data folder because its own folder is not writable.

set(kvu_program_dir lib/klimavox-kvu)

install(TARGETS klimavox_kvu RUNTIME DESTINATION ${kvu_program_dir} COMPONENT kvu)
# The build writes the manual beside the program; the help window reads it from there.
install(FILES $<TARGET_FILE_DIR:klimavox_kvu>/help_klimavox_kvu.mht DESTINATION ${kvu_program_dir}
  COMPONENT kvu)

# A relative link, so the package can be unpacked under any root.
set(kvu_bin_link ${CMAKE_CURRENT_BINARY_DIR}/packaging/klimavox_kvu)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(CREATE_LINK ../${kvu_program_dir}/klimavox_kvu ${kvu_bin_link} SYMBOLIC)
install(FILES ${kvu_bin_link} DESTINATION bin COMPONENT kvu)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/klimavox_kvu.desktop DESTINATION share/applications COMPONENT kvu)
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/art/program.svg DESTINATION share/icons/hicolor/scalable/apps
  RENAME klimavox_kvu.svg COMPONENT kvu)

install(PROGRAMS $<TARGET_FILE:panel-sim> DESTINATION bin RENAME klimavox-panel-sim COMPONENT panelsim)
# A renamed copy is not a target install, so the package's stripping does not reach it.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/klimavox-panel-sim\")
endif()" COMPONENT panelsim)
install(FILES ${PROJECT_SOURCE_DIR}/tools/panel-sim/README.md DESTINATION share/doc/klimavox-kvu-panel-sim
  COMPONENT panelsim)

# Manual pages, compressed as Debian keeps them.
set(kvu_man_pages)
foreach(page klimavox_kvu.1 klimavox-panel-sim.1)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${CMAKE_CURRENT_LIST_DIR}/${page} ${out}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${page} VERBATIM)
  list(APPEND kvu_man_pages ${out})
endforeach()
add_custom_target(kvu_man_pages ALL DEPENDS ${kvu_man_pages})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/klimavox_kvu.1.gz DESTINATION share/man/man1 COMPONENT kvu)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/klimavox-panel-sim.1.gz DESTINATION share/man/man1
  COMPONENT panelsim)

set(KVU_PACKAGE_MAINTAINER "Klimavox KVU maintainers <maintainers@users.noreply.c-seed-a2a094f8.example>"
  CACHE STRING "Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME klimavox-kvu)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KVU_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL kvu panelsim)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps adds the Qt, OpenSSL and C++ libraries the binaries link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_KVU_PACKAGE_NAME klimavox-kvu)
# Loaded at run time, where dpkg-shlibdeps cannot see them: on Debian 12 the X11 platform plugin, the
# OpenSSL back end of QSslSocket and the SVG plugins come with libqt6gui6, libqt6network6 and
# libqt6svg6, which the program links anyway; Qt's own Russian texts and the SQLite driver of the
# trend store do not.
set(CPACK_DEBIAN_KVU_PACKAGE_DEPENDS "qt6-translations-l10n, libqt6sql6-sqlite")
set(CPACK_DEBIAN_KVU_PACKAGE_RECOMMENDS "fonts-liberation, sound-theme-freedesktop")
set(CPACK_DEBIAN_KVU_PACKAGE_SUGGESTS "klimavox-kvu-panel-sim")
set(CPACK_DEBIAN_KVU_DESCRIPTION [=[watch and control Klimavox air-handling units
Klimavox KVU watches and controls up to five air-handling units from one
workstation through their wall panels: a live row per unit, a window per unit
that mirrors its panel, commands, an event history, mail notices, and backup
and restore of a panel's configuration. The interface is in Russian.
.
Klimavox KVU наблюдает за вентустановками (до пяти) и управляет ими с одного
рабочего места через их пульты: строка состояния каждой установки, окно
установки в виде её пульта, команды, журнал событий, уведомления по почте,
сохранение и восстановление настроек пульта.]=])

set(CPACK_DEBIAN_PANELSIM_PACKAGE_NAME klimavox-kvu-panel-sim)
set(CPACK_DEBIAN_PANELSIM_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PANELSIM_DESCRIPTION [=[simulated Klimavox wall panels for testing
Simulates up to five Klimavox wall panels on local addresses, with a control
channel that raises faults and alarms, for trying out and testing Klimavox KVU
without real air-handling units.
.
Имитатор пультов Klimavox (до пяти) на локальных адресах с управляющим
каналом для аварий и неисправностей: для проверки Klimavox KVU без настоящих
вентустановок.]=])

include(CPack)
