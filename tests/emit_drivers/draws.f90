! Draws of the generated FORTRAN sampler for a fixed stream of uniforms,
! printed as the bits of each double in hex so that they compare exactly.
! Usage: draws O3.res N h...: N draws at each coupling in turn, one stream.
program draws
  use, intrinsic :: iso_fortran_env, only: int64, real64, error_unit
  use o3_sampler, only: o3_load, fa_o3, o3_loaded
  implicit none
  integer(int64) :: state = 88172645463325252_int64
  character(len=4096) :: argument, message
  integer :: status, a, n, i
  integer(int64) :: bits
  real(real64) :: h, y

  call get_command_argument(1, argument)
  call o3_load(trim(argument), status, message)
  if (status /= o3_loaded) then
    write(error_unit, '(a)') trim(message)
    stop 1
  end if
  call get_command_argument(2, argument)
  read(argument, *) n
  do a = 3, command_argument_count()
    call get_command_argument(a, argument)
    read(argument, *) h
    do i = 1, n
      y = fa_o3(h, uniform)
      bits = transfer(y, bits)
      write(*, '(2z8.8)') ishft(bits, -32), iand(bits, 4294967295_int64)
    end do
  end do

contains

  ! xorshift64 (shifts 13, 7, 17) and its top 53 bits as a uniform in
  ! [0, 1): the same stream as the C and C++ drivers.
  function uniform() result(u)
    real(real64) :: u
    state = ieor(state, ishft(state, 13))
    state = ieor(state, ishft(state, -7))
    state = ieor(state, ishft(state, 17))
    u = real(ishft(state, -11), real64) * (1.0_real64 / 9007199254740992.0_real64)
  end function uniform

end program draws
