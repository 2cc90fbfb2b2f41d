# -DMACULO_SANITIZE=address,undefined (or thread) instruments every target.
set(MACULO_SANITIZE "" CACHE STRING "Comma-separated sanitizers to enable (address,undefined,thread)")
if(MACULO_SANITIZE)
  add_compile_options(-fsanitize=${MACULO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${MACULO_SANITIZE})
endif()
