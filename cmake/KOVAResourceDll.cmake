# Builds a resource-only DLL (no code, no entry point) from one .rc file, the
# way the product's external resource libraries are made. lld-link writes it
# with ASLR and NX flags and the resources as its one, read-only section.
#   kova_resource_dll(<target> <rc file> <output dll> [DEFINES d1 d2 ...])
find_program(KOVA_LLD_LINK lld-link REQUIRED)
function(kova_resource_dll target rc output)
  cmake_parse_arguments(ARG "" "" "DEFINES" ${ARGN})
  get_filename_component(rc ${rc} ABSOLUTE)
  get_filename_component(outdir ${output} DIRECTORY)
  set(obj ${CMAKE_CURRENT_BINARY_DIR}/${target}.res.o)
  set(defines)
  foreach(d ${ARG_DEFINES})
    list(APPEND defines -D${d})
  endforeach()
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}
    COMMAND ${CMAKE_RC_COMPILER} -I${GENERATED_DIR} ${defines} -O coff -i ${rc} -o ${obj}
    COMMAND ${KOVA_LLD_LINK} -nologo -dll -noentry -machine:x64 ${obj} -out:${output}
            -implib:${CMAKE_CURRENT_BINARY_DIR}/${target}.lib
    DEPENDS ${rc} ${GENERATED_DIR}/KOVAVersion.h
    COMMENT "Resource-only DLL ${output}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
