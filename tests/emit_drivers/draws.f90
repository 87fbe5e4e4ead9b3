! Draws from two tables as a Fortran simulation would, printing each y as
! the hex digits of its bits: draws ENGINE A B SEED N h...
! ENGINE 0, 1 or 2 (default, tables, exponential; with 2, A and B are not
! read). For each h: N draws from A, then N from B, from the built-in
! generator; then the same from a xorshift64 uniform; then, for each table,
! N rounds of all the h drawn at once from a stream of its own; then the
! tables' outside counts and the streams'.
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
  use, intrinsic :: ieee_arithmetic, only: ieee_is_nan
  implicit none
  type(o3_table) :: table(2), never
  type(o3_rng) :: rng
  type(o3_stream) :: stream(2)
  integer :: status, t, a, pass, engine, count
  integer(int64) :: seed, i, n
  character(len=512) :: arg, message
  real(real64) :: h
  real(real64), allocatable :: hs(:), ys(:)

  ! Drawing from a table that is not open is reported, never a crash.
  if (.not. ieee_is_nan(o3_draw(never, 1.0_real64, rng))) stop 4
  call get_command_argument(1, arg)
  read (arg, *) engine
  do t = 1, 2
    arg = ''
    if (engine /= o3_engine_exponential) call get_command_argument(1 + t, arg)
    call o3_open(table(t), arg, status, message, engine)
    if (status /= o3_ok) then
      write (*, '(a, i0, a, a)') 'refused ', status, ': ', trim(message)
      stop 3
    end if
  end do
  call get_command_argument(4, arg)
  read (arg, *) seed
  call get_command_argument(5, arg)
  read (arg, *) n
  call o3_rng_seed(rng, seed)
  do pass = 1, 2
    do a = 6, command_argument_count()
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
  count = command_argument_count() - 5
  allocate (hs(count), ys(count))
  do t = 1, 2
    call o3_stream_seed_at(stream(t), seed, 7_int64, int(t - 1, int64))
    do i = 1, n
      do a = 1, count
        call get_command_argument(a + 5, arg)
        read (arg, *) hs(a)
      end do
      call o3_draw_many(table(t), hs, ys, stream(t))
      do a = 1, count
        call print_bits(ys(a))
      end do
    end do
  end do
  write (*, '(a, i0, a, i0, a, i0, a, i0)') 'outside ', o3_outside_count(table(1)), ' ', &
      o3_outside_count(table(2)), ' streams ', stream(1)%counts%outside, ' ', &
      stream(2)%counts%outside
  call o3_close(table(1))
  call o3_close(table(2))

contains

  subroutine print_bits(y)
    real(real64), intent(in) :: y
    write (*, '(z16.16)') transfer(y, 1_int64)
  end subroutine print_bits

end program draws
