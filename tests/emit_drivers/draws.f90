! Draws from two tables as a Fortran simulation would, printing each y as
! the hex digits of its bits: draws A B SEED N h...
! For each h: N draws from A, then N from B, from the built-in generator;
! then the same from a xorshift64 uniform; then the outside counts.
module xorshift
  use, intrinsic :: iso_fortran_env, only: int64, real64
  implicit none
  integer(int64), private :: state = 88172645463325252_int64
contains
  ! xorshift64 (13, 7, 17), its top 53 bits as a uniform.
  function xorshift_uniform() result(u)
    real(real64) :: u
    state = ieor(state, ishft(state, 13))
    state = ieor(state, ishft(state, -7))
    state = ieor(state, ishft(state, 17))
    u = real(ishft(state, -11), real64) * 2.0_real64**(-53)
  end function xorshift_uniform
end module xorshift

program draws
  use o3_sampler
  use xorshift
  use, intrinsic :: iso_fortran_env, only: int64, real64
  use, intrinsic :: ieee_arithmetic, only: ieee_is_nan
  implicit none
  type(o3_table) :: table(2), never
  type(o3_rng) :: rng
  integer :: status, t, a, pass
  integer(int64) :: seed, i, n
  character(len=512) :: arg, message
  real(real64) :: h

  ! Drawing from a table that is not open is reported, never a crash.
  if (.not. ieee_is_nan(o3_draw(never, 1.0_real64, rng))) stop 4
  do t = 1, 2
    call get_command_argument(t, arg)
    call o3_open(table(t), arg, status, message)
    if (status /= o3_ok) then
      write (*, '(a, i0, a, a)') 'refused ', status, ': ', trim(message)
      stop 3
    end if
  end do
  call get_command_argument(3, arg)
  read (arg, *) seed
  call get_command_argument(4, arg)
  read (arg, *) n
  call o3_rng_seed(rng, seed)
  do pass = 1, 2
    do a = 5, command_argument_count()
      call get_command_argument(a, arg)
      read (arg, *) h
      do t = 1, 2
        do i = 1, n
          if (pass == 1) then
            call print_bits(o3_draw(table(t), h, rng))
          else
            call print_bits(o3_draw(table(t), h, xorshift_uniform))
          end if
        end do
      end do
    end do
  end do
  write (*, '(a, i0, a, i0)') 'outside ', o3_outside_count(table(1)), ' ', &
      o3_outside_count(table(2))
  call o3_close(table(1))
  call o3_close(table(2))

contains

  subroutine print_bits(y)
    real(real64), intent(in) :: y
    write (*, '(z16.16)') transfer(y, 1_int64)
  end subroutine print_bits

end program draws
