! A Fortran program built with Make and pkg-config against the installed
! module and library: the bits of a few draws, then the outside count.
program consumer
  use o3_sampler
  implicit none
  real(real64), parameter :: h(5) = [0.0_real64, 0.3_real64, 2.5_real64, 4.99_real64, 7.5_real64]
  type(o3_table) :: table
  type(o3_rng) :: rng
  character(len=4096) :: path
  character(len=512) :: message
  integer :: status, i
  call get_command_argument(1, path)
  call o3_open(table, path, status, message, o3_engine_tables)
  if (status /= o3_ok) then
    print '(a)', trim(message)
    stop 1
  end if
  call o3_rng_seed(rng, 7_int64)
  do i = 1, size(h)
    write (*, '(z16.16)') transfer(o3_draw(table, h(i), rng), 0_int64)
  end do
  write (*, '(a, i0)') 'outside ', o3_outside_count(table)
  call o3_close(table)
end program consumer
